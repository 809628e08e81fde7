#include "support/carve_samples.h"

#include <fstream>
#include <sstream>
#include <string_view>

#include "carve/png_walker.h"

namespace orvanta::test {
namespace {

void Put16(Bytes &b, std::uint16_t v, bool big = false) {
  if (big)
    b.insert(b.end(), {std::uint8_t(v >> 8), std::uint8_t(v)});
  else
    b.insert(b.end(), {std::uint8_t(v), std::uint8_t(v >> 8)});
}

void Put32(Bytes &b, std::uint32_t v, bool big = false) {
  if (big)
    b.insert(b.end(), {std::uint8_t(v >> 24), std::uint8_t(v >> 16), std::uint8_t(v >> 8),
                       std::uint8_t(v)});
  else
    b.insert(b.end(), {std::uint8_t(v), std::uint8_t(v >> 8), std::uint8_t(v >> 16),
                       std::uint8_t(v >> 24)});
}

void PutText(Bytes &b, std::string_view text) { b.insert(b.end(), text.begin(), text.end()); }

// A box or chunk: its 4-byte size (big-endian, counting its header for a
// box) and type, then the body.
Bytes Box(std::string_view type, const Bytes &body) {
  Bytes b;
  Put32(b, std::uint32_t(8 + body.size()), true);
  PutText(b, type);
  b.insert(b.end(), body.begin(), body.end());
  return b;
}

Bytes Chunk(std::string_view id, const Bytes &body) {
  Bytes b;
  PutText(b, id);
  Put32(b, std::uint32_t(body.size()));
  b.insert(b.end(), body.begin(), body.end());
  if (body.size() % 2)
    b.push_back(0);
  return b;
}

Bytes Join(std::initializer_list<Bytes> parts) {
  Bytes b;
  for (const auto &p : parts)
    b.insert(b.end(), p.begin(), p.end());
  return b;
}

} // namespace

Bytes ReadHexDump(const std::filesystem::path &file) {
  std::ifstream in(file);
  Bytes bytes;
  std::string line;
  while (std::getline(in, line)) {
    const auto colon = line.find(':');
    if (colon == std::string::npos)
      continue;
    const std::size_t offset = std::stoul(line.substr(0, colon), nullptr, 16);
    if (bytes.size() < offset)
      bytes.resize(offset, 0); // the lines a "*" stood for
    const auto end = line.find("  ", colon + 2);
    const std::string hex = line.substr(colon + 2, end - colon - 2);
    std::string digits;
    for (const char c : hex)
      if (c != ' ')
        digits += c;
    for (std::size_t i = 0; i + 1 < digits.size(); i += 2)
      bytes.push_back(static_cast<std::uint8_t>(std::stoul(digits.substr(i, 2), nullptr, 16)));
  }
  return bytes;
}

Bytes CarveSample(const std::string &name) {
  return ReadHexDump(std::filesystem::path(ORVANTA_CARVE_DATA) / (name + ".hex"));
}

Bytes NoiseBytes(std::size_t count, std::uint32_t seed) {
  Bytes b(count);
  std::uint32_t x = seed * 2654435761u + 1;
  for (auto &v : b) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    v = static_cast<std::uint8_t>(x >> 24);
  }
  return b;
}

Bytes Mp4Sample(std::size_t dataBytes, std::uint32_t created, const char *brand) {
  Bytes ftyp;
  PutText(ftyp, brand);
  Put32(ftyp, 0x200, true);
  PutText(ftyp, "isommp41");
  Bytes mvhd;
  Put32(mvhd, 0, true); // version 0, flags
  Put32(mvhd, created, true);
  Put32(mvhd, created, true);
  Put32(mvhd, 1000, true); // time scale
  Put32(mvhd, 5000, true); // duration
  mvhd.resize(100, 0);
  Bytes udta = Box("udta", Box("name", Bytes(6, 'x')));
  return Join({Box("ftyp", ftyp), Box("mdat", NoiseBytes(dataBytes, 7)),
               Box("moov", Join({Box("mvhd", mvhd), udta}))});
}

Bytes AviSample(std::size_t frameBytes) {
  Bytes hdrl;
  PutText(hdrl, "hdrl");
  const Bytes avih = Chunk("avih", Bytes(56, 0));
  hdrl.insert(hdrl.end(), avih.begin(), avih.end());
  Bytes movi;
  PutText(movi, "movi");
  for (int i = 0; i < 3; ++i) {
    const Bytes frame = Chunk("00dc", NoiseBytes(frameBytes + std::size_t(i), 11 + i));
    movi.insert(movi.end(), frame.begin(), frame.end());
  }
  Bytes form;
  PutText(form, "AVI ");
  const Bytes body = Join({form, Chunk("LIST", hdrl), Chunk("LIST", movi), Chunk("idx1", Bytes(48, 1))});
  Bytes riff;
  PutText(riff, "RIFF");
  Put32(riff, std::uint32_t(body.size()));
  riff.insert(riff.end(), body.begin(), body.end());
  return riff;
}

Bytes WavSample(std::size_t sampleBytes) {
  Bytes fmt;
  Put16(fmt, 1);
  Put16(fmt, 2);
  Put32(fmt, 44100);
  Put32(fmt, 44100 * 4);
  Put16(fmt, 4);
  Put16(fmt, 16);
  Bytes form;
  PutText(form, "WAVE");
  const Bytes body = Join({form, Chunk("fmt ", fmt), Chunk("data", NoiseBytes(sampleBytes, 5))});
  Bytes riff;
  PutText(riff, "RIFF");
  Put32(riff, std::uint32_t(body.size()));
  riff.insert(riff.end(), body.begin(), body.end());
  return riff;
}

Bytes Mp3Sample(int frames, bool id3) {
  Bytes b;
  if (id3) {
    PutText(b, "ID3");
    b.insert(b.end(), {3, 0, 0, 0, 0, 1, 0}); // v2.3, flags, size 128
    const Bytes tag = Box("TIT2", Bytes(120, 'a'));
    b.insert(b.end(), tag.begin(), tag.end());
  }
  for (int i = 0; i < frames; ++i) {
    // MPEG-1 layer III, 128 kbit/s, 44.1 kHz, no padding: 417 bytes.
    b.insert(b.end(), {0xFF, 0xFB, 0x90, 0x00});
    Bytes payload = NoiseBytes(413, 100 + std::uint32_t(i));
    b.insert(b.end(), payload.begin(), payload.end());
  }
  return b;
}

Bytes PdfSample(bool update) {
  std::string text =
      "%PDF-1.4\n%\xe2\xe3\xcf\xd3\n"
      "1 0 obj\n<< /Type /Catalog /Pages 2 0 R >>\nendobj\n"
      "2 0 obj\n<< /Type /Pages /Kids [] /Count 0 >>\nendobj\n"
      "3 0 obj\n<< /Producer (test) /CreationDate (D:20200102030405+01'00') >>\nendobj\n"
      "4 0 obj\n<< /Length 200 >>\nstream\n";
  const Bytes noise = NoiseBytes(200, 3);
  text.append(noise.begin(), noise.end());
  text += "\nendstream\nendobj\n"
          "xref\n0 5\n0000000000 65535 f \n"
          "trailer\n<< /Size 5 /Root 1 0 R /Info 3 0 R >>\nstartxref\n300\n%%EOF\n";
  if (update)
    text += "5 0 obj\n<< /Type /Annot >>\nendobj\nxref\n0 1\n0000000000 65535 f \n"
            "trailer\n<< /Size 6 /Root 1 0 R /Prev 300 >>\nstartxref\n900\n%%EOF\n";
  return Bytes(text.begin(), text.end());
}

Bytes ZipSample(bool odt, bool descriptors) {
  struct Entry {
    std::string Name;
    Bytes Data;
  };
  std::vector<Entry> entries;
  if (odt) {
    const std::string type = "application/vnd.oasis.opendocument.text";
    entries.push_back({"mimetype", Bytes(type.begin(), type.end())});
    entries.push_back({"content.xml", NoiseBytes(700, 21)});
  } else {
    entries.push_back({"[Content_Types].xml", NoiseBytes(300, 22)});
    entries.push_back({"word/document.xml", NoiseBytes(900, 23)});
  }
  entries.push_back({"docProps/core.xml", NoiseBytes(200, 24)});
  Bytes out, central;
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const auto &e = entries[i];
    const bool stream = descriptors && e.Name != "mimetype";
    const std::uint32_t crc = carve::Crc32(0, e.Data);
    const auto offset = static_cast<std::uint32_t>(out.size());
    Put32(out, 0x04034B50);
    Put16(out, 20);
    Put16(out, stream ? 8 : 0);
    Put16(out, 0); // stored
    Put16(out, 0x6000);
    Put16(out, 0x5021);
    Put32(out, stream ? 0 : crc);
    Put32(out, stream ? 0 : std::uint32_t(e.Data.size()));
    Put32(out, stream ? 0 : std::uint32_t(e.Data.size()));
    Put16(out, std::uint16_t(e.Name.size()));
    Put16(out, 0);
    PutText(out, e.Name);
    out.insert(out.end(), e.Data.begin(), e.Data.end());
    if (stream) {
      Put32(out, 0x08074B50);
      Put32(out, crc);
      Put32(out, std::uint32_t(e.Data.size()));
      Put32(out, std::uint32_t(e.Data.size()));
    }
    Put32(central, 0x02014B50);
    Put16(central, 20);
    Put16(central, 20);
    Put16(central, stream ? 8 : 0);
    Put16(central, 0);
    Put16(central, 0x6000);
    Put16(central, 0x5021);
    Put32(central, crc);
    Put32(central, std::uint32_t(e.Data.size()));
    Put32(central, std::uint32_t(e.Data.size()));
    Put16(central, std::uint16_t(e.Name.size()));
    Put16(central, 0);
    Put16(central, 0);
    Put16(central, 0);
    Put16(central, 0);
    Put32(central, 0);
    Put32(central, offset);
    PutText(central, e.Name);
  }
  const auto centralAt = static_cast<std::uint32_t>(out.size());
  out.insert(out.end(), central.begin(), central.end());
  Put32(out, 0x06054B50);
  Put16(out, 0);
  Put16(out, 0);
  Put16(out, std::uint16_t(entries.size()));
  Put16(out, std::uint16_t(entries.size()));
  Put32(out, std::uint32_t(central.size()));
  Put32(out, centralAt);
  Put16(out, 5);
  PutText(out, "note.");
  return out;
}

} // namespace orvanta::test
