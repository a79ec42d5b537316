#include "data/ArticleSlots.h"

#include <cerrno>
#include <cstring>

#include "data/DatabaseFile.h"

namespace {
// One system call per this many slots.
constexpr std::size_t kSlotsPerBlock = 1024;
}  // namespace

bool HoldsArticle(const ArticleRecord& record, SlotRule rule) {
  return rule == SlotRule::InUse ? record.IN_USE != 0 : !IsAllZero(record);
}

ArticleSlots::ArticleSlots(const DatabaseFile& file, SlotRule rule)
    : file_(file), rule_(rule), block_(kSlotsPerBlock) {}

ArticleSlots::Iterator ArticleSlots::begin() {
  blockFirst_ = 1;
  count_ = 0;
  lastBlock_ = false;
  done_ = false;
  failed_ = false;
  error_.clear();
  endSlot_ = 1;
  if (ReadBlock()) {
    index_ = static_cast<std::size_t>(-1);
    Advance();
  }
  return Iterator(this);
}

bool ArticleSlots::ReadBlock() {
  bool failed = false;
  const std::size_t bytes = file_.ReadAt(kArticleAreaOffset + std::uint64_t{blockFirst_ - 1} * sizeof(ArticleRecord),
                                         block_.data(), block_.size() * sizeof(ArticleRecord), &failed);
  count_ = bytes / sizeof(ArticleRecord);
  endSlot_ = blockFirst_ + static_cast<std::uint32_t>(count_);
  if (failed) {
    failed_ = true;
    error_ = "Reading " + file_.Path() + ": " + std::strerror(errno);
  }
  lastBlock_ = failed || count_ < block_.size();
  if (count_ == 0) done_ = true;
  return !done_;
}

void ArticleSlots::Advance() {
  for (;;) {
    ++index_;
    if (index_ >= count_) {
      if (lastBlock_) {
        done_ = true;
        return;
      }
      blockFirst_ += static_cast<std::uint32_t>(count_);
      if (!ReadBlock()) return;
      index_ = 0;
    }
    if (HoldsArticle(block_[index_], rule_)) {
      number_ = blockFirst_ + static_cast<std::uint32_t>(index_);
      return;
    }
  }
}
