#include "installer/dll/src/SystemFacts.h"

#include <algorithm>
#include <cctype>
#include <charconv>

#include "installer/dll/src/Text.h"

namespace qdvsetup {
namespace {

// Calls fn for each line of contents, without its line end ("\n" or "\r\n").
template <typename Fn>
void forEachLine(std::string_view contents, Fn fn) {
  while (!contents.empty()) {
    const std::size_t end = contents.find('\n');
    std::string_view line = contents.substr(0, end);
    if (!line.empty() && line.back() == '\r') {
      line.remove_suffix(1);
    }
    fn(line);
    if (end == std::string_view::npos) {
      break;
    }
    contents.remove_prefix(end + 1);
  }
}

bool isHexDigit(char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; }

bool isSpace(char c) { return c == ' ' || c == '\t'; }

// Reads one os-release value from text[pos] to its unquoted line end, the
// way a shell reads a word: "..." with \ escaping $ ` " \ and line ends,
// '...' taken literally, \ outside quotes escaping any character.
std::string readShellValue(std::string_view text, std::size_t& pos) {
  std::string value;
  enum class Quote { None, Double, Single } quote = Quote::None;
  while (pos < text.size()) {
    const char c = text[pos++];
    const bool hasNext = pos < text.size();
    if (quote == Quote::Single) {
      if (c == '\'') {
        quote = Quote::None;
      } else {
        value += c;
      }
    } else if (quote == Quote::Double) {
      if (c == '"') {
        quote = Quote::None;
      } else if (c == '\\' && hasNext &&
                 std::string_view("$`\"\\\n").find(text[pos]) != std::string_view::npos) {
        if (text[pos] != '\n') {
          value += text[pos];
        }
        ++pos;
      } else {
        value += c;
      }
    } else if (c == '\n') {
      break;
    } else if (c == '"') {
      quote = Quote::Double;
    } else if (c == '\'') {
      quote = Quote::Single;
    } else if (c == '\\' && hasNext) {
      if (text[pos] != '\n') {
        value += text[pos];
      }
      ++pos;
    } else if (c != '\r') {
      value += c;
    }
  }
  return value;
}

// A run of decimal digits at the front of text, removed from it.
std::string_view takeDigits(std::string_view& text) {
  std::size_t n = 0;
  while (n < text.size() && text[n] >= '0' && text[n] <= '9') {
    ++n;
  }
  const std::string_view digits = text.substr(0, n);
  text.remove_prefix(n);
  return digits;
}

// "digits.digits" with nothing else; the two numbers.
std::optional<std::pair<std::uint64_t, std::uint64_t>> parseDotted(std::string_view text) {
  const std::size_t dot = text.find('.');
  if (dot == std::string_view::npos) {
    return std::nullopt;
  }
  const auto first = parseDecimal(text.substr(0, dot));
  const auto second = parseDecimal(text.substr(dot + 1));
  if (!first || !second || trim(text) != text) {
    return std::nullopt;
  }
  return std::make_pair(*first, *second);
}

// A pci.ids entry "hhhh  Name": its id and name (the name may be empty).
std::optional<std::pair<std::uint32_t, std::string_view>> pciIdsEntry(std::string_view line) {
  if (line.size() < 4 || !std::all_of(line.begin(), line.begin() + 4, isHexDigit) ||
      (line.size() > 4 && !isSpace(line[4]))) {
    return std::nullopt;
  }
  // Four hex digits, checked above: the conversion cannot fail.
  std::uint32_t id = 0;
  std::from_chars(line.data(), line.data() + 4, id, 16);
  return std::make_pair(id, trim(line.substr(4)));
}

// The number when it fits in 32 bits, else 0.
std::uint32_t fitting32(std::optional<std::uint64_t> number) {
  return number && *number <= UINT32_MAX ? static_cast<std::uint32_t>(*number) : 0;
}

}  // namespace

std::optional<std::string> osReleaseValue(std::string_view contents, std::string_view key) {
  std::optional<std::string> found;
  std::size_t pos = 0;
  while (pos < contents.size()) {
    while (pos < contents.size() && isSpace(contents[pos])) {
      ++pos;
    }
    const std::size_t lineEnd = std::min(contents.find('\n', pos), contents.size());
    const std::size_t equals = contents.find('=', pos);
    if (contents.compare(pos, 1, "#") == 0 || equals >= lineEnd) {
      pos = lineEnd + 1;
      continue;
    }
    const std::string_view name = contents.substr(pos, equals - pos);
    pos = equals + 1;
    std::string value = readShellValue(contents, pos);
    if (name == key) {
      found = std::move(value);  // as in a shell, the last assignment holds
    }
  }
  return found;
}

KernelVersion kernelVersion(std::string_view release) {
  KernelVersion version;
  release = trim(release);
  version.major = fitting32(parseDecimal(takeDigits(release)));
  if (!release.empty() && release.front() == '.') {
    release.remove_prefix(1);
    version.minor = fitting32(parseDecimal(takeDigits(release)));
  }
  return version;
}

std::optional<std::uint64_t> meminfoValue(std::string_view contents, std::string_view name) {
  std::optional<std::uint64_t> value;
  bool seen = false;
  forEachLine(contents, [&](std::string_view line) {
    if (seen || line.size() <= name.size() || line.substr(0, name.size()) != name ||
        line[name.size()] != ':') {
      return;
    }
    seen = true;
    std::string_view number = trim(line.substr(name.size() + 1));
    if (number.size() >= 3 && number.substr(number.size() - 3) == " kB") {
      number.remove_suffix(3);
    }
    value = parseDecimal(number);
  });
  return value;
}

std::vector<CpuInfoEntry> parseCpuInfo(std::string_view contents) {
  std::vector<CpuInfoEntry> entries;
  forEachLine(contents, [&](std::string_view line) {
    const std::size_t colon = line.find(':');
    if (colon == std::string_view::npos) {
      return;
    }
    const std::string_view key = trim(line.substr(0, colon));
    const std::string_view value = trim(line.substr(colon + 1));
    if (key == "processor") {
      entries.emplace_back().processor = parseDecimal(value);
    } else if (entries.empty()) {
      return;
    } else if (key == "model name") {
      entries.back().modelName = std::string(value);
    } else if (key == "vendor_id") {
      entries.back().vendorId = std::string(value);
    } else if (key == "cpu family") {
      entries.back().family = parseDecimal(value);
    } else if (key == "model") {
      entries.back().model = parseDecimal(value);
    } else if (key == "stepping") {
      entries.back().stepping = parseDecimal(value);
    } else if (key == "cpu MHz") {
      entries.back().megahertz = parseRoundedReal(value);
    } else if (key == "flags") {
      entries.back().flags = std::string(value);
    }
  });
  return entries;
}

std::optional<CpuList> parseCpuList(std::string_view text) {
  text = trim(text);
  if (text.empty()) {
    return std::nullopt;
  }
  CpuList list;
  std::uint64_t count = 0;
  for (;;) {
    const std::size_t comma = text.find(',');
    const std::string_view range = text.substr(0, comma);
    const std::size_t dash = range.find('-');
    const auto first = parseDecimal(range.substr(0, dash));
    const auto last = dash == std::string_view::npos ? first : parseDecimal(range.substr(dash + 1));
    if (!first || !last || *last < *first || *last - *first >= kMaxCpuListEntries) {
      return std::nullopt;
    }
    count += *last - *first + 1;
    if (count > kMaxCpuListEntries) {
      return std::nullopt;
    }
    list.last = std::max(list.last, saturate32(*last));
    if (comma == std::string_view::npos) {
      break;
    }
    text.remove_prefix(comma + 1);
  }
  list.count = static_cast<std::uint32_t>(count);
  return list;
}

std::optional<UsbVersion> parseUsbVersion(std::string_view text) {
  const auto numbers = parseDotted(trim(text));
  if (!numbers) {
    return std::nullopt;
  }
  return UsbVersion{saturate32(numbers->first), saturate32(numbers->second)};
}

std::optional<PciNames> pciDeviceNames(std::string_view pciIds, std::uint32_t vendor,
                                       std::uint32_t device) {
  std::optional<PciNames> found;
  bool inVendor = false;
  std::string_view vendorName;
  forEachLine(pciIds, [&](std::string_view line) {
    if (found || line.empty() || line.front() == '#') {
      return;
    }
    if (line.front() != '\t') {
      // A vendor line, or the start of another section (device classes).
      const auto entry = pciIdsEntry(line);
      inVendor = entry && entry->first == vendor;
      vendorName = inVendor ? entry->second : std::string_view();
    } else if (inVendor && line.size() > 1 && line[1] != '\t') {
      const auto entry = pciIdsEntry(line.substr(1));
      if (entry && entry->first == device && !entry->second.empty()) {
        found = PciNames{std::string(vendorName), std::string(entry->second)};
      }
    }
  });
  return found;
}

std::optional<std::uint64_t> largestMemoryRegion(std::string_view resource) {
  constexpr std::uint64_t kMemoryResource = 0x200;
  std::optional<std::uint64_t> largest;
  forEachLine(resource, [&](std::string_view line) {
    line = trim(line);
    const std::size_t first = line.find(' ');
    const std::size_t second = line.find(' ', first == std::string_view::npos ? first : first + 1);
    if (second == std::string_view::npos) {
      return;
    }
    const auto start = parseHex(line.substr(0, first));
    const auto end = parseHex(line.substr(first + 1, second - first - 1));
    const auto flags = parseHex(line.substr(second + 1));
    if (!start || !end || !flags || (*flags & kMemoryResource) == 0 || *end < *start ||
        (*start == 0 && *end == 0)) {
      return;
    }
    // end - start + 1 wraps only for a region covering all 64 bits.
    const std::uint64_t size = *end - *start == UINT64_MAX ? UINT64_MAX : *end - *start + 1;
    largest = std::max(largest.value_or(0), size);
  });
  return largest;
}

}  // namespace qdvsetup
