#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <new>
#include <string>

#include "errors.h"
#include "io/io_error.h"
#include "messages.h"

namespace genosieve {
namespace {

std::string MessageOf(void (*thrower)(int), int value) {
  try {
    thrower(value);
  } catch (const RunError& error) {
    return error.what();
  }
  return "";
}

TEST(Errors, IoCodesHaveTheirFrenchMessages) {
  EXPECT_EQ(IoErrorMessage(kIoFileNotFound), "Fichier introuvable");
  EXPECT_EQ(IoErrorMessage(kIoBadFileName), "Nom de fichier incorrect");
  EXPECT_EQ(IoErrorMessage(kIoTooManyOpenFiles), "Trop de fichiers ouverts");
  EXPECT_EQ(IoErrorMessage(kIoAccessDenied), "Acc\xC3\xA8s au fichier refus\xC3\xA9");
  EXPECT_EQ(IoErrorMessage(kIoReadPastEnd), "Lecture au-del\xC3\xA0 de la fin de fichier");
  EXPECT_EQ(IoErrorMessage(kIoDiskFull), "Disque plein");
  EXPECT_EQ(IoErrorMessage(kIoBadNumericInput), "Saisie num\xC3\xA9rique incorrecte");
  EXPECT_EQ(IoErrorMessage(103), "Erreur E/S 103");
  EXPECT_EQ(MessageOf(ThrowIoError, kIoDiskFull), "Disque plein");
}

TEST(Errors, SystemErrorsMapToIoCodes) {
  EXPECT_EQ(IoCodeFromErrno(ENOENT), kIoFileNotFound);
  for (int err : {ENAMETOOLONG, EINVAL, ENOTDIR}) EXPECT_EQ(IoCodeFromErrno(err), kIoBadFileName);
  for (int err : {EMFILE, ENFILE}) EXPECT_EQ(IoCodeFromErrno(err), kIoTooManyOpenFiles);
  for (int err : {EACCES, EPERM, EISDIR, EROFS}) {
    EXPECT_EQ(IoCodeFromErrno(err), kIoAccessDenied);
    EXPECT_EQ(MessageOf(ThrowIoErrorFromErrno, err), "Acc\xC3\xA8s au fichier refus\xC3\xA9");
  }
  for (int err : {ENOSPC, EDQUOT}) {
    EXPECT_EQ(IoCodeFromErrno(err), kIoDiskFull);
    EXPECT_EQ(MessageOf(ThrowIoErrorFromErrno, err), "Disque plein");
  }
  EXPECT_EQ(MessageOf(ThrowIoErrorFromErrno, ENOENT), "Fichier introuvable");
  EXPECT_EQ(MessageOf(ThrowIoErrorFromErrno, EMFILE), "Trop de fichiers ouverts");
  // Other system errors keep their own number, even one that equals an I/O code.
  EXPECT_EQ(MessageOf(ThrowIoErrorFromErrno, EIO), "Erreur E/S " + std::to_string(EIO));
  EXPECT_EQ(IoErrorMessageFromErrno(EIO), "Erreur E/S " + std::to_string(EIO));
  EXPECT_EQ(IoErrorMessageFromErrno(EXDEV), "Erreur E/S " + std::to_string(EXDEV));
}

TEST(Errors, AnErrorAboutAFileNamesItsFullPathAndWhatWasBeingDone) {
  RunError bare("Disque plein");
  EXPECT_EQ(MessageNamingFile(bare), "Disque plein");
  RunError error("Disque plein");
  error.file = "/data/run1/results.txt";
  EXPECT_EQ(MessageNamingFile(error), "File \"/data/run1/results.txt\": Disque plein");
  error.fileRole = "Output file";
  error.doing = "cannot write it";
  EXPECT_EQ(MessageNamingFile(error),
            "Output file \"/data/run1/results.txt\": cannot write it: Disque plein");
  // Relative to the current folder, as the Run reached it, and escaped.
  error.file = "sub/../new\tname.txt";
  EXPECT_EQ(MessageNamingFile(error), "Output file \"" + std::filesystem::current_path().string() +
                                          "/new\\tname.txt\": cannot write it: Disque plein");
  error.file = ".";
  EXPECT_EQ(MessageNamingFile(error), "Output file \"" + std::filesystem::current_path().string() +
                                          "\": cannot write it: Disque plein");
  RunError none("Fichier introuvable");
  none.file = "";
  EXPECT_EQ(MessageNamingFile(none), "No data file given: Fichier introuvable");
}

TEST(Errors, InternalErrorsSayWhereTheCheckFailed) {
  const int line = __LINE__ + 2;
  try {
    ThrowInternalError("a table of the wrong shape");
  } catch (const InternalError& error) {
    const std::string message = error.what();
    EXPECT_EQ(message.rfind("Internal error in TestBody (", 0), 0u) << message;
    EXPECT_NE(
        message.find("test_errors.cpp:" + std::to_string(line) + "): a table of the wrong shape"),
        std::string::npos)
        << message;
    return;
  }
  ADD_FAILURE() << "no InternalError";
}

TEST(Errors, InternalErrorsEndTheRunLikeOtherErrors) {
  // Front ends catch RunError; an internal error is one, but tells itself apart.
  EXPECT_THROW(ThrowInternalError("x"), RunError);
  try {
    ThrowConversionError("abc");
  } catch (const InternalError&) {
    ADD_FAILURE() << "a conversion error is the user's, not the program's";
  } catch (const RunError&) {
  }
}

TEST(Errors, ConvertIntegerAcceptsDecimalIntegersOnly) {
  EXPECT_EQ(ConvertInteger("0"), 0);
  EXPECT_EQ(ConvertInteger("1000"), 1000);
  EXPECT_EQ(ConvertInteger("  42"), 42);
  EXPECT_EQ(ConvertInteger("+7"), 7);
  EXPECT_EQ(ConvertInteger("-15"), -15);
  EXPECT_EQ(ConvertInteger("007"), 7);
  EXPECT_EQ(ConvertInteger("2147483647"), 2147483647);
  EXPECT_EQ(ConvertInteger("-2147483648"), -2147483647 - 1);
  EXPECT_EQ(ParseInteger(" -0012"), -12);
  for (const char* text : {"", " ", "abc", "12a", "1 ", "1.5", "0x10", "$10", "--1", "+", "-",
                           "2147483648", "-2147483649", "99999999999999999999", "\t5", "5\r"}) {
    SCOPED_TRACE(text);
    EXPECT_FALSE(ParseInteger(text).has_value());
    try {
      ConvertInteger(text);
      ADD_FAILURE() << "converted";
    } catch (const RunError& error) {
      EXPECT_EQ(std::string(error.what()),
                "'" + std::string(text) + "' n'est pas une valeur enti\xC3\xA8re correcte");
    }
  }
  EXPECT_EQ(ConversionErrorMessage("abc"), "'abc' n'est pas une valeur enti\xC3\xA8re correcte");
}

TEST(Errors, AFailedAllocationSaysWhatWasBeingAllocated) {
  EXPECT_EQ(Allocating("a table", [] { return 42; }), 42);
  try {
    Allocating("test tally for N = 2147483647", []() -> int { throw std::bad_alloc(); });
    ADD_FAILURE() << "no error";
  } catch (const RunError& error) {
    EXPECT_STREQ(error.what(), "M\xC3\xA9moire insuffisante (test tally for N = 2147483647)");
  }
  // Other errors pass unchanged.
  EXPECT_THROW(Allocating("x", [] { ThrowIoError(kIoDiskFull); }), RunError);
}

TEST(Errors, AStopIsARunErrorOfItsOwn) {
  try {
    throw RunStopped();
  } catch (const RunError& error) {
    EXPECT_STREQ(error.what(), "Run interrupted");
    EXPECT_NE(dynamic_cast<const RunStopped*>(&error), nullptr);
  }
}

}  // namespace
}  // namespace genosieve
