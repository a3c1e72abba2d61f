#include "convert_options.h"

#include <charconv>
#include <cstdint>

#include "names.h"

namespace {

// Sizes and level counts a user may ask for; the loader fits them to the
// device afterwards.
constexpr std::uint32_t kLargestSize = 65536;
// 0 asks for the full chain.
constexpr std::uint32_t kMostLevels = 32;

std::optional<std::uint32_t> ParseNumber(std::string_view text, int base = 10) {
    std::uint32_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    if (text.empty() || error != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

bool ParseSize(std::string_view text, ConvertOptions* options) {
    const std::size_t x = text.find_first_of("xX");
    if (x == std::string_view::npos) {
        return false;
    }
    const auto width = ParseNumber(text.substr(0, x));
    const auto height = ParseNumber(text.substr(x + 1));
    if (!width || !height || *width == 0 || *height == 0 || *width > kLargestSize ||
        *height > kLargestSize) {
        return false;
    }
    options->width = *width;
    options->height = *height;
    return true;
}

bool ParseColorKey(std::string_view text, ConvertOptions* options) {
    if (text.starts_with("0x") || text.starts_with("0X")) {
        text.remove_prefix(2);
    }
    const auto key = text.size() == 8 ? ParseNumber(text, 16) : std::nullopt;
    if (!key) {
        return false;
    }
    options->colorKey = *key;
    return true;
}

// Applies one option with its value; false when the value is bad.
bool ApplyOption(std::string_view name, std::string_view value, ConvertOptions* options) {
    if (name == "--size") {
        return ParseSize(value, options);
    }
    if (name == "--color-key") {
        return ParseColorKey(value, options);
    }
    if (name == "--format") {
        const auto format = ParseFormat(value);
        if (format) {
            options->format = *format;
        }
        return format.has_value();
    }
    if (name == "--levels") {
        const auto levels = ParseNumber(value);
        if (levels && *levels <= kMostLevels) {
            options->levels = *levels;
            return true;
        }
        return false;
    }
    const auto filter = ParseFilter(value);
    if (filter) {
        (name == "--filter" ? options->filter : options->mipFilter) = *filter;
    }
    return filter.has_value();
}

constexpr std::string_view kValueOptions[] = {"--format", "--size",       "--levels",
                                              "--filter", "--mip-filter", "--color-key"};

bool TakesValue(std::string_view name) {
    for (const std::string_view option : kValueOptions) {
        if (option == name) {
            return true;
        }
    }
    return false;
}

}  // namespace

std::optional<ConvertOptions> ParseConvertOptions(std::span<const std::string_view> arguments,
                                                  std::string* error) {
    ConvertOptions options;
    std::size_t files = 0;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        std::string_view name = arguments[i];
        if (!name.starts_with("--")) {
            if (files == 2) {
                *error = "more than one input and one output: " + std::string(name);
                return std::nullopt;
            }
            (files++ == 0 ? options.input : options.output) = name;
            continue;
        }
        if (name == "--all-levels") {
            options.allLevels = true;
            continue;
        }
        std::string_view value;
        const std::size_t equals = name.find('=');
        if (equals != std::string_view::npos) {
            value = name.substr(equals + 1);
            name = name.substr(0, equals);
        } else if (TakesValue(name) && i + 1 < arguments.size()) {
            value = arguments[++i];
        }
        if (!TakesValue(name)) {
            *error = "unknown option " + std::string(name);
            return std::nullopt;
        }
        if (!ApplyOption(name, value, &options)) {
            *error = "bad value for " + std::string(name) + ": \"" + std::string(value) + "\"";
            return std::nullopt;
        }
    }
    if (files < 2) {
        *error = "convert needs an input file and an output file";
        return std::nullopt;
    }
    return options;
}

std::string LevelPath(const std::string& output, UINT level, UINT face, UINT slice) {
    const std::size_t slash = output.find_last_of('/');
    const std::size_t dot = output.find_last_of('.');
    const std::size_t stemEnd =
        dot != std::string::npos && (slash == std::string::npos || dot > slash) ? dot
                                                                                : output.size();
    std::string path = output.substr(0, stemEnd);
    if (face > 0) {
        path += "-face" + std::to_string(face);
    }
    if (level > 0) {
        path += "-" + std::to_string(level);
    }
    if (slice > 0) {
        path += "-slice" + std::to_string(slice);
    }
    return path + output.substr(stemEnd);
}
