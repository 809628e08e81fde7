#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace orvanta::test {

using Bytes = std::vector<std::uint8_t>;

// The bytes of a hex dump in the form `xxd -a` writes ("00000010: ffd8 …",
// a "*" line standing for zero lines up to the next offset).
Bytes ReadHexDump(const std::filesystem::path &file);

// A sample file kept as a hex dump in tests/carve/data: "photo.jpg" (a
// baseline JPEG with Exif date 2019:05:07 09:05:42 and a thumbnail),
// "big.jpg" (a baseline JPEG of 4753 bytes), "prog.jpg" (progressive),
// "dated.png" (tIME 2021-03-14 15:09:26), "small.gif", "nikon.tif" (a
// TIFF with Make NIKON and DateTimeOriginal 2018:12:24 18:30:00).
Bytes CarveSample(const std::string &name);

// Small files of the other kinds, built here.
// An MP4 as cameras write it: ftyp, mdat of `dataBytes`, then moov with an
// mvhd whose creation time is `created` (seconds since 1904).
Bytes Mp4Sample(std::size_t dataBytes, std::uint32_t created, const char *brand = "isom");
Bytes AviSample(std::size_t frameBytes);
Bytes WavSample(std::size_t sampleBytes);
// MPEG-1 layer III frames of 417 bytes, after an ID3v2 tag when asked.
Bytes Mp3Sample(int frames, bool id3);
// A PDF with /CreationDate D:20200102030405; with an incremental update
// after its first %%EOF when asked.
Bytes PdfSample(bool update);
// A DOCX (or, with `odt`, an ODT) of stored entries; with data descriptors
// after the data, as streaming writers make them, when asked.
Bytes ZipSample(bool odt, bool descriptors);

// Bytes of a pattern that holds every byte value, from a seed.
Bytes NoiseBytes(std::size_t count, std::uint32_t seed);

} // namespace orvanta::test
