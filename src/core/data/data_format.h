#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace genosieve {

// The layouts of genotype data file the program reads. `kAuto` recognises the layout
// from the file's content, then from its extension.
enum class DataFormat { kAuto, kNative, kGenepop, kGenalex, kFstat };

// "auto", "native", "genepop", "genalex", "fstat": the names the command line takes.
std::string FormatName(DataFormat format);
std::optional<DataFormat> FormatFromName(std::string_view name);

// The name shown to users: "native", "Genepop", "GenAlEx", "FSTAT".
std::string FormatTitle(DataFormat format);

}  // namespace genosieve
