#include "gui/results/photo_pictures.h"

#include <QBuffer>
#include <QByteArray>
#include <QFileInfo>
#include <QImageReader>

#include "carve/tiff_reader.h"
#include "jobs/found_file_head.h"

namespace orvanta::gui {
namespace {

QImage Scaled(QImage image, int side) {
  if (image.isNull() || (image.width() <= side && image.height() <= side))
    return image;
  return image.scaled(side, side, Qt::KeepAspectRatio, Qt::SmoothTransformation);
}

// Decodes a picture at no more than `side`, asking the decoder to scale
// (a JPEG decodes at an eighth of its size at little cost).
QImage Decoded(std::span<const std::uint8_t> bytes, int side) {
  QByteArray data = QByteArray::fromRawData(reinterpret_cast<const char *>(bytes.data()),
                                            static_cast<qsizetype>(bytes.size()));
  QBuffer buffer(&data);
  buffer.open(QIODevice::ReadOnly);
  QImageReader reader(&buffer);
  const QSize size = reader.size();
  if (size.isValid() && (size.width() > side || size.height() > side))
    reader.setScaledSize(size.scaled(side, side, Qt::KeepAspectRatio));
  return Scaled(reader.read(), side);
}

bool Whole(std::span<const std::uint8_t> bytes) {
  // A JPEG ends with EOI; a PNG with IEND and its CRC; a GIF with 0x3B.
  const auto n = bytes.size();
  return n > 2 && ((bytes[n - 2] == 0xFF && bytes[n - 1] == 0xD9) || bytes[n - 1] == 0x3B ||
                   (n > 8 && bytes[n - 8] == 'I' && bytes[n - 7] == 'E' && bytes[n - 6] == 'N'));
}

} // namespace

bool IsPhotoName(const QString &name) {
  static const QStringList kinds = {"jpg", "jpeg", "jpe", "png", "gif", "tif", "tiff", "nef",
                                    "cr2", "arw", "dng", "pef", "orf", "rw2"};
  return kinds.contains(QFileInfo(name).suffix().toLower());
}

QImage PhotoPicture(std::span<const std::uint8_t> bytes, int side) {
  if (bytes.size() < 4)
    return {};
  std::optional<std::span<const std::uint8_t>> thumbnail;
  if (bytes[0] == 0xFF && bytes[1] == 0xD8)
    thumbnail = carve::JpegExifThumbnail(bytes);
  else if ((bytes[0] == 'I' && bytes[1] == 'I') || (bytes[0] == 'M' && bytes[1] == 'M'))
    thumbnail = carve::TiffThumbnail(carve::TiffReader(bytes));
  if (thumbnail) {
    QImage image = Decoded(*thumbnail, side);
    if (!image.isNull())
      return image;
  }
  if (bytes[0] == 'I' || bytes[0] == 'M')
    return {}; // a raw photo without a thumbnail: no decoder here
  return Decoded(bytes, side);
}

QString PictureToolTip(const QImage &picture) {
  QByteArray jpeg;
  QBuffer buffer(&jpeg);
  buffer.open(QIODevice::WriteOnly);
  picture.save(&buffer, "JPEG", 85);
  return QStringLiteral("<img src=\"data:image/jpeg;base64,%1\">")
      .arg(QString::fromLatin1(jpeg.toBase64()));
}

PhotoPictures::PhotoPictures(EngineState &state, QObject *parent)
    : QObject(parent), state_(state) {}

PhotoPictures::~PhotoPictures() { Stop(); }

void PhotoPictures::Stop() {
  host_.SetRunning(false);
  if (worker_.joinable())
    worker_.join();
}

void PhotoPictures::Load(const QString &section, const QStringList &names) {
  Stop();
  if (names.isEmpty())
    return;
  host_.SetRunning(true);
  std::vector<std::string> files;
  for (const QString &name : names)
    files.push_back(name.toStdString());
  worker_ = std::thread([this, section = section.toStdString(), files = std::move(files)] {
    Run(section, files);
  });
}

void PhotoPictures::Run(const std::string &section, const std::vector<std::string> &names) {
  for (const std::string &name : names) {
    if (!host_.Running())
      return;
    auto bytes = ReadFoundFileHead(state_, host_, section, name, kHeadBytes);
    QImage picture = PhotoPicture(bytes, kSide);
    // No thumbnail in the head, and more of the file than the head: the
    // photo itself, when it is not too large to read.
    if (picture.isNull() && bytes.size() == kHeadBytes && host_.Running() && !Whole(bytes)) {
      bytes = ReadFoundFileHead(state_, host_, section, name, kWholeBytes);
      picture = PhotoPicture(bytes, kSide);
    }
    if (picture.isNull() || !host_.Running())
      continue;
    QMetaObject::invokeMethod(
        this,
        [this, section = QString::fromStdString(section), name = QString::fromStdString(name),
         picture] { emit Loaded(section, name, picture); },
        Qt::QueuedConnection);
  }
}

} // namespace orvanta::gui
