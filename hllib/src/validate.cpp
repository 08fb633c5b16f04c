// Validation of a file's bytes against the checksums the package stores for each chunk.
#include <zlib.h>

#include <algorithm>
#include <string>

#include "call_guard.h"
#include "file_plan.h"
#include "package.h"
#include "package_data.h"

namespace hl {
namespace {

// Adler-32 from 0 and CRC-32 over each chunk, updated piece by piece as the bytes stream in.
class ChunkChecker {
 public:
  ChunkChecker(const PackageData& data, ChecksumRange range, ChunkReport& report)
      : data_(data), range_(range), report_(report) {}

  void feed(const uint8_t* bytes, size_t size) {
    while (size > 0) {
      size_t step = std::min<size_t>(size, data_.chunkSize - filled_);
      adler_ = adler32(adler_, bytes, static_cast<uInt>(step));
      crc_ = crc32(crc_, bytes, static_cast<uInt>(step));
      filled_ += step;
      bytes += step;
      size -= step;
      if (filled_ == data_.chunkSize) finishChunk();
    }
  }

  void finish() {
    if (filled_ > 0) finishChunk();
  }

 private:
  void finishChunk() {
    uint32_t expected = data_.checksum(range_.first + chunk_);
    if ((static_cast<uint32_t>(adler_) ^ static_cast<uint32_t>(crc_)) != expected)
      report_.badChunks.push_back(chunk_);
    ++report_.checksummedChunks;
    ++chunk_;
    adler_ = 0;
    crc_ = 0;
    filled_ = 0;
  }

  const PackageData& data_;
  ChecksumRange range_;
  ChunkReport& report_;
  uLong adler_ = 0, crc_ = 0;
  size_t filled_ = 0;
  uint32_t chunk_ = 0;
};

}  // namespace

Status Package::validate(uint32_t file, ChunkReport& report) const {
  return guarded("validating the item", [&]() -> Status {
    const PackageData& d = *data_;
    FilePlan plan;
    Status status = planFile(d, file, true, plan);
    if (status.ok()) status = readable(d, file, plan);
    if (!status.ok()) return status;

    std::string item = "item " + std::to_string(file);
    ChecksumRange range{};
    if (!d.checksumRange(file, range)) {
      if (d.entry(file).checksumIndex == layout::kNone32) {
        report.notChecked = plan.info.size > 0;  // an empty file has nothing to check
        return {};
      }
      return {ErrorCode::Damaged, item + " names checksum map entry " +
                                      std::to_string(d.entry(file).checksumIndex) +
                                      ", past the last entry"};
    }
    uint64_t chunks = (plan.info.size + d.chunkSize - 1) / d.chunkSize;
    if (range.count != chunks || uint64_t{range.first} + range.count > d.checksumCount)
      return {ErrorCode::Damaged, item + " has " + std::to_string(range.count) +
                                      " checksums from index " + std::to_string(range.first) +
                                      " for " + std::to_string(chunks) + " chunks, of " +
                                      std::to_string(d.checksumCount) + " checksums in all"};

    ChunkChecker checker(d, range, report);
    status = readPlanned(plan, [&](const uint8_t* bytes, size_t size) {
      checker.feed(bytes, size);
      return true;
    });
    if (!status.ok()) return status;
    checker.finish();
    if (!(status = d.metadata.status()).ok()) return status;  // checksums read as zeros
    if (!report.badChunks.empty())
      return {ErrorCode::Damaged, item + ": " + std::to_string(report.badChunks.size()) + " of " +
                                      std::to_string(chunks) +
                                      " chunks do not match their checksums"};
    return {};
  });
}

}  // namespace hl
