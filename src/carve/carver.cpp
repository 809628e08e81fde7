#include "carve/carver.h"

#include <algorithm>

#include "carve/jpeg_entropy.h"
#include "carve/jpeg_walker.h"
#include "carve/recognise.h"

namespace orvanta::carve {

// A file being followed, or a fragment waiting for its next part.
struct Carver::Open {
  std::unique_ptr<Walker> Walk;
  std::vector<ClusterRun> Runs;
  std::uint64_t Fed = 0;    // bytes of its clusters fed so far
  std::uint32_t Next = 0;   // the cluster that continues it without a gap
  int Gaps = 0;
  // While waiting: where its data stops and the decoder's state there.
  std::uint64_t BreakAt = 0;
  std::optional<JpegEntropy> Decoder;
  std::uint32_t WaitingFrom = 0;

  void Add(std::uint32_t number, std::uint32_t clusterBytes) {
    if (!Runs.empty() && Runs.back().First + Runs.back().Count == number)
      ++Runs.back().Count;
    else
      Runs.push_back({number, 1});
    Fed += clusterBytes;
    Next = number + 1;
  }

  // Keeps the first `clusters` of its clusters.
  void Keep(std::uint64_t clusters) {
    std::vector<ClusterRun> kept;
    for (const auto &run : Runs) {
      if (clusters == 0)
        break;
      const auto n = static_cast<std::uint32_t>(std::min<std::uint64_t>(run.Count, clusters));
      kept.push_back({run.First, n});
      clusters -= n;
    }
    Runs = std::move(kept);
  }
};

namespace {

// Entropy-coded data holds bytes of 0x80 and above; zeros and text do not.
bool LooksCoded(std::span<const std::uint8_t> bytes) {
  std::uint8_t any = 0;
  for (const std::uint8_t b : bytes)
    any |= b;
  return (any & 0x80) != 0;
}

// Where the entropy data of a broken baseline JPEG really stops, found by
// decoding its clusters once more: the start of the cluster in which the
// decoder meets a fault, with its state there; the end of the bytes fed
// when it meets none. Nothing when the fault lies in the cluster where the
// data begins, or the clusters cannot be read.
struct Located {
  std::uint64_t At = 0;
  JpegEntropy State;
};

std::optional<Located> Locate(const std::vector<ClusterRun> &runs, const JpegWalker &jpeg,
                              std::uint32_t clusterBytes, const ClusterReader &read,
                              std::vector<std::uint8_t> &buffer) {
  const JpegCoding *coding = jpeg.Coding();
  const std::uint64_t cb = clusterBytes, scanStart = jpeg.ScanStart();
  const std::uint32_t perRead = std::max<std::uint32_t>(1, (1u << 20) / clusterBytes);
  JpegEntropy decoder(*coding);
  std::uint64_t offset = 0;
  for (const auto &run : runs) {
    for (std::uint32_t i = 0; i < run.Count;) {
      const std::uint32_t count = std::min(run.Count - i, perRead);
      if (offset + count * cb <= scanStart) {
        offset += count * cb;
        i += count;
        continue;
      }
      buffer.resize(count * cb);
      if (!read(run.First + i, buffer))
        return std::nullopt;
      for (std::uint32_t k = 0; k < count; ++k, offset += cb) {
        if (offset + cb <= scanStart)
          continue;
        const std::uint64_t from = scanStart > offset ? scanStart - offset : 0;
        const auto piece = std::span<const std::uint8_t>(buffer).subspan(
            std::size_t(k * cb + from), std::size_t(cb - from));
        JpegEntropy before = decoder;
        const auto result = decoder.Decode(piece);
        if (result.Ended)
          return std::nullopt; // it decodes to its end
        if (result.Fault || !LooksCoded(piece)) {
          if (offset <= scanStart)
            return std::nullopt;
          return Located{offset, std::move(before)};
        }
      }
      i += count;
    }
  }
  if (offset <= scanStart)
    return std::nullopt;
  return Located{offset, std::move(decoder)};
}

} // namespace

Carver::Carver(Volume volume) : volume_(std::move(volume)) {}
Carver::~Carver() = default;

void Carver::Cluster(std::uint32_t number, bool free, std::span<const std::uint8_t> bytes) {
  if (volume_.ClusterBytes == 0 || bytes.size() != volume_.ClusterBytes)
    return;
  if (open_ && (number != open_->Next || !free)) {
    // A live file's cluster, or one the pass did not read: the file is cut.
    open_->Walk->Stop();
    Settle(std::move(open_), number);
    Replay();
  }
  if (free)
    Examine(number, bytes);
}

void Carver::Examine(std::uint32_t number, std::span<const std::uint8_t> bytes) {
  while (open_) {
    open_->Walk->Feed(bytes);
    open_->Add(number, volume_.ClusterBytes);
    if (open_->Walk->State() == Verdict::More)
      return;
    const bool notPart = Settle(std::move(open_), number);
    // A file begun in a cluster looked at again may go on here.
    Replay();
    if (!notPart)
      return;
  }
  if (TryWaiting(number, bytes))
    return;
  const std::uint64_t toEnd =
      number <= volume_.LastCluster
          ? std::uint64_t{volume_.LastCluster - number + 1} * volume_.ClusterBytes
          : 0;
  auto walker = Recognise(bytes, std::min(toEnd, volume_.MaxFileBytes));
  if (!walker)
    return;
  open_ = std::make_unique<Open>();
  open_->Walk = std::move(walker);
  open_->Walk->Feed(bytes);
  open_->Add(number, volume_.ClusterBytes);
  if (open_->Walk->State() != Verdict::More)
    Settle(std::move(open_), number);
}

void Carver::Replay() {
  std::vector<std::uint8_t> bytes(volume_.ClusterBytes);
  while (!replay_.empty()) {
    const std::uint32_t number = replay_.front();
    replay_.erase(replay_.begin());
    if (volume_.Read(number, bytes))
      Examine(number, bytes);
  }
}

void Carver::ReplayAfter(const Open &file, std::uint64_t end, std::uint32_t number) {
  if (!volume_.Read)
    return;
  // The first cluster is where a file began: it is not looked at again.
  const std::uint64_t kept = std::max<std::uint64_t>(1, (end + volume_.ClusterBytes - 1) / volume_.ClusterBytes);
  std::uint64_t index = 0;
  for (const auto &run : file.Runs)
    for (std::uint32_t i = 0; i < run.Count; ++i, ++index)
      if (index >= kept && run.First + i != number)
        replay_.push_back(run.First + i);
}

bool Carver::Settle(std::unique_ptr<Open> file, std::uint32_t number) {
  Walker &walk = *file->Walk;
  const bool fedThis = file->Next == number + 1;
  const std::uint64_t thisStart = fedThis ? file->Fed - volume_.ClusterBytes : file->Fed;
  if (!walk.Confirmed()) {
    ReplayAfter(*file, 0, number);
    return file->Runs.empty() || file->Runs.front().First != number;
  }
  if (walk.State() == Verdict::Ended) {
    ReplayAfter(*file, walk.Length(), number);
    Record(*file, walk.Length(), true);
    return walk.Length() <= thisStart;
  }
  auto *jpeg = dynamic_cast<JpegWalker *>(&walk);
  if (jpeg && jpeg->Coding() && volume_.Read && file->Gaps < kMaxGaps) {
    if (auto located = Locate(file->Runs, *jpeg, volume_.ClusterBytes, volume_.Read, reread_)) {
      ReplayAfter(*file, located->At, number);
      file->BreakAt = located->At;
      file->Decoder.emplace(std::move(located->State));
      file->WaitingFrom = number;
      file->Keep(located->At / volume_.ClusterBytes);
      const bool notPart = located->At <= thisStart;
      Suspend(std::move(file));
      return notPart;
    }
  }
  ReplayAfter(*file, walk.Length(), number);
  Record(*file, walk.Length(), false);
  return walk.Length() <= thisStart;
}

void Carver::Suspend(std::unique_ptr<Open> file) {
  if (waiting_.size() >= kMaxWaiting) {
    Record(*waiting_.front(), waiting_.front()->BreakAt, false);
    waiting_.erase(waiting_.begin());
  }
  waiting_.push_back(std::move(file));
}

bool Carver::TryWaiting(std::uint32_t number, std::span<const std::uint8_t> bytes) {
  const std::uint64_t maxGap = std::max<std::uint64_t>(1, kMaxGapBytes / volume_.ClusterBytes);
  std::erase_if(waiting_, [&](std::unique_ptr<Open> &file) {
    if (number - file->WaitingFrom <= maxGap)
      return false;
    Record(*file, file->BreakAt, false);
    return true;
  });
  if (waiting_.empty() || !LooksCoded(bytes))
    return false;
  for (std::size_t i = waiting_.size(); i-- > 0;) {
    JpegEntropy trial = *waiting_[i]->Decoder;
    const auto result = trial.Decode(bytes);
    if (result.Fault || (!result.Ended && result.Valid < bytes.size()))
      continue;
    // The cluster continues this file.
    std::unique_ptr<Open> resumed = std::move(waiting_[i]);
    waiting_.erase(waiting_.begin() + std::ptrdiff_t(i));
    auto &jpeg = static_cast<JpegWalker &>(*resumed->Walk);
    jpeg.ResumeAt(resumed->BreakAt, resumed->Decoder->NextRestart());
    resumed->Fed = resumed->BreakAt;
    resumed->Decoder.reset();
    ++resumed->Gaps;
    open_ = std::move(resumed);
    open_->Walk->Feed(bytes);
    open_->Add(number, volume_.ClusterBytes);
    if (open_->Walk->State() != Verdict::More) {
      Settle(std::move(open_), number);
      Replay();
    }
    return true;
  }
  return false;
}

void Carver::Record(Open &file, std::uint64_t size, bool whole) {
  if (size == 0 || file.Runs.empty())
    return;
  file.Keep((size + volume_.ClusterBytes - 1) / volume_.ClusterBytes);
  CarvedFile found;
  found.FileKind = file.Walk->FileKind();
  found.Extension = std::string(file.Walk->Extension());
  found.Runs = file.Runs;
  found.Size = size;
  found.Whole = whole;
  found.Stamp = file.Walk->Stamp();
  found_.push_back(std::move(found));
}

void Carver::Finish() {
  while (open_) {
    open_->Walk->Stop();
    const std::uint32_t next = open_->Next;
    Settle(std::move(open_), next);
    Replay();
  }
  for (auto &file : waiting_)
    Record(*file, file->BreakAt, false);
  waiting_.clear();
}

} // namespace orvanta::carve
