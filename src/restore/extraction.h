#pragma once

#include <cstdint>
#include <vector>

#include "restore/found_entry.h"
#include "platform/output_file.h"

namespace orvanta {

class OperationHost;
class Volume;

struct ExtractResult {
  // Some bytes of the file could not be read and were written as zeros.
  bool UnreadableParts = false;
  // errno of a failed write or close of the output; 0 when it was written.
  int WriteError = 0;
  // A stoppable copy was stopped before its end: the output is not whole.
  bool Stopped = false;
};

// Copies a found file from the volume into `out` and closes it. A file found
// by its content in pieces is read along its runs of clusters. When the
// file is at least a cluster long and its chain in the FAT has more than one
// cluster, none of them 0, and a length within one cluster of the size, the
// clusters are read one by one along the chain; otherwise (always for a file
// smaller than a cluster) the file is read as one run of whole sectors from
// its first cluster. The output is cut to the size; a chain one cluster
// short gives a file one cluster short. When that first cluster is free in
// the FAT, the file is a deleted one: its run passes over the clusters the
// FAT gives to live files, as they were written around it.
//
// A cluster that cannot be read is written as zeros of the length it would
// have had, so the file keeps its size and later data its place. Before each
// cluster of a chain, and each piece of a run, the host is pumped; a
// stoppable copy whose host is no longer running skips the rest and says so.
ExtractResult ExtractFoundFile(Volume &vol, OperationHost &host, const FoundEntry &entry,
                               OutputFile &out, bool stoppable);

// The first `limit` bytes of a found file (all of it when it is shorter),
// read as ExtractFoundFile reads it, no further than needed; unreadable
// parts read as zeros. Stops with the host.
std::vector<std::uint8_t> ReadFoundFileStart(Volume &vol, OperationHost &host,
                                             const FoundEntry &entry, std::size_t limit);

} // namespace orvanta
