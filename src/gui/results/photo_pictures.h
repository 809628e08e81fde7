#pragma once

#include <QImage>
#include <QObject>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "engine/operation_host.h"
#include "jobs/engine_state.h"

namespace orvanta::gui {

// Whether a found file's name is that of a photo a picture can be made of:
// JPEG, PNG, GIF, and the raw photos that carry an Exif thumbnail.
bool IsPhotoName(const QString &name);

// A picture of a photo whose first bytes are given, no larger than `side`
// on either side: its Exif thumbnail when it carries one (a JPEG's APP1, a
// raw photo's second IFD), else the photo itself decoded at that scale.
// Null when neither can be read from these bytes.
QImage PhotoPicture(std::span<const std::uint8_t> bytes, int side);

// The tooltip of a photo's row: the picture in line.
QString PictureToolTip(const QImage &picture);

// Makes the pictures of the photos of a folder of the results list on a
// thread of its own, one after another, each from the first bytes of its
// file (all of it when it has no thumbnail, up to a bound). It works on the
// engine as an operation of its own: the window stops it before it starts
// a restore or a preview, or leaves the results.
class PhotoPictures final : public QObject {
  Q_OBJECT
public:
  static constexpr int kSide = 160;
  // What is read of a photo: its head, where Exif keeps the thumbnail, and
  // at most this much of one without.
  static constexpr std::size_t kHeadBytes = 128 * 1024;
  static constexpr std::size_t kWholeBytes = 24 * 1024 * 1024;

  PhotoPictures(EngineState &state, QObject *parent);
  ~PhotoPictures() override;

  // Makes the pictures of these files of `section`, in this order, instead
  // of any asked for before.
  void Load(const QString &section, const QStringList &names);
  // Stops the thread and waits for it.
  void Stop();

signals:
  void Loaded(const QString &section, const QString &name, const QImage &picture);

private:
  void Run(const std::string &section, const std::vector<std::string> &names);

  EngineState &state_;
  OperationHost host_;
  std::thread worker_;
};

} // namespace orvanta::gui
