// The description of the open file that the file-information window lists:
// its name and the recording parameters of its header.
#include <cstring>

#include "common/Format.h"
#include "viewer/ViewerSession.h"

namespace {

// A header byte shown as a character: printable ASCII as it is, any other
// byte as "?".
char Printable(char c) { return (c >= 0x20 && c < 0x7f) ? c : '?'; }

template <typename T>
T At(const RAWVideoHeader& header, std::size_t offset) {
  T value;
  std::memcpy(&value, reinterpret_cast<const char*>(&header) + offset, sizeof value);
  return value;
}

}  // namespace

void TViewerSession::ListFileInfo(QStringList& lines) const {
  lines.clear();
  if (!File.IsOpen()) {
    lines << QStringLiteral("No RAW file loaded");
    return;
  }
  // A copy: the playback thread may be reading the header again.
  RAWVideoHeader h;
  {
    const std::lock_guard<std::recursive_mutex> lock(frameLock_);
    h = Header;
  }
  lines << QStringLiteral("FileName: '") + FileName + QStringLiteral("'");
  lines << (std::memcmp(h.Signature, RAWVideoSignature, 4) == 0
                ? QStringLiteral("Siganture: Ok")
                : QStringLiteral("Siganture: BAD!"));
  if (h.BayerMatrix[0] != 0 || h.BayerMatrix[1] != 0 || h.BayerMatrix[2] != 0 ||
      h.BayerMatrix[3] != 0)
    lines << FormatText("BayerMatrix: %c%c%c%c", Printable(h.BayerMatrix[0]),
                        Printable(h.BayerMatrix[1]), Printable(h.BayerMatrix[2]),
                        Printable(h.BayerMatrix[3]));
  else
    lines << QStringLiteral("Bayer Matrix: Monochrome");
  // The camera identity at offset 8, in the order of the serial number.
  const std::size_t id = RAWHeader::DeviceID;
  const std::uint32_t id4 = At<std::uint32_t>(h, id + 4);
  const std::uint16_t id0 = At<std::uint16_t>(h, id), id2 = At<std::uint16_t>(h, id + 2),
                      id8 = At<std::uint16_t>(h, id + 8), id10 = At<std::uint16_t>(h, id + 10);
  if (id4 != 0 || id0 != 0 || id2 != 0 || id8 != 0 || id10 != 0)
    lines << FormatText("DeviceID: %d.%d.%d.%d.%d", static_cast<int>(id4), id0, id2, id8, id10);
  else
    lines << QStringLiteral("DeviceID: ?.?.?.?.?");
  lines << FormatText("ViewPort: %dx%d", h.Width, h.Height);
  const StreamFormatInfo* format = FindStreamFormat(static_cast<std::uint32_t>(h.StreamStatus));
  lines << QStringLiteral("Video Type: ") + (format != nullptr
                                                 ? QString::fromLatin1(format->videoTypeName)
                                                 : QStringLiteral("???"));
  lines << FormatFloat("Frequency: %.3f Mhz", h.Frequency * 0.000001);
  lines << FormatFloat("Exposure: %.3f ms", h.Exposure);
  lines << FormatFloat("FrameRate: %.3f fps", h.FrameRate);
  lines << FormatFloat("Gain: %.3f dB", h.Gain);
}
