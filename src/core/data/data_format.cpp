#include "data/data_format.h"

#include <array>
#include <utility>

namespace genosieve {

namespace {

struct FormatNames {
  DataFormat format;
  const char* name;
  const char* title;
};

constexpr std::array<FormatNames, 5> kFormats = {{
    {DataFormat::kAuto, "auto", "automatic"},
    {DataFormat::kNative, "native", "native"},
    {DataFormat::kGenepop, "genepop", "Genepop"},
    {DataFormat::kGenalex, "genalex", "GenAlEx"},
    {DataFormat::kFstat, "fstat", "FSTAT"},
}};

const FormatNames& NamesOf(DataFormat format) {
  for (const FormatNames& names : kFormats) {
    if (names.format == format) return names;
  }
  return kFormats[0];
}

}  // namespace

std::string FormatName(DataFormat format) { return NamesOf(format).name; }

std::string FormatTitle(DataFormat format) { return NamesOf(format).title; }

std::optional<DataFormat> FormatFromName(std::string_view name) {
  for (const FormatNames& names : kFormats) {
    if (name == names.name) return names.format;
  }
  return std::nullopt;
}

}  // namespace genosieve
