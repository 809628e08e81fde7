#include "exfat/found_rows.h"

#include "exfat/directory_tree.h"

namespace orvanta::exfat {

std::optional<FoundFileRow> FoundRowOf(FindContext &ctx, const AllocationBitmap &bitmap,
                                       const EntrySet &file, char mark) {
  std::string name = ComponentName(file.Name);
  if (!ctx.AdmitsAll && !ctx.Mask.Matches(name))
    return std::nullopt;
  const Volume &volume = ctx.State.Vol;
  if (file.DataLength == 0 || !BootOf(volume.Geometry()).IsHeapCluster(file.FirstCluster))
    return std::nullopt;
  FileLayout layout = LayoutOf(volume, bitmap, file);
  const Timestamp &t = file.Modified;
  FoundFileRow row{.Name = std::move(name),
                   .Size = file.DataLength,
                   .Written = {t.Year, t.Month, t.Day, t.Hour, t.Minute},
                   .FirstCluster = file.FirstCluster,
                   .Mark = mark,
                   .Condition = layout.Condition,
                   .Seconds = t.Second,
                   .Runs = std::move(layout.Runs)};
  if (file.ValidDataLength < file.DataLength)
    row.ValidLength = file.ValidDataLength;
  return row;
}

} // namespace orvanta::exfat
