// The one walk over the article slots of a database or report file. It reads
// the article area in blocks and visits only the slots its rule picks: the
// articles in use (IN_USE set) of a database, or every slot that is not all
// zero, which is what a report file holds (report records never set IN_USE)
// and what a new article must never overwrite.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "data/Records.h"

class DatabaseFile;

// Which slots a walk visits.
enum class SlotRule {
  InUse,       // IN_USE is set: the articles of a database, listed and uploaded
  NotAllZero,  // anything but a free slot: report records, and slots a new article must leave alone
};

bool HoldsArticle(const ArticleRecord& record, SlotRule rule);

class ArticleSlots {
 public:
  struct Slot {
    std::uint32_t number;  // 1-based slot of the file
    const ArticleRecord& record;
  };

  class Iterator {
   public:
    Slot operator*() const { return {slots_->number_, slots_->block_[slots_->index_]}; }
    Iterator& operator++() {
      slots_->Advance();
      return *this;
    }
    bool operator==(std::default_sentinel_t) const { return slots_->done_; }

   private:
    friend class ArticleSlots;
    explicit Iterator(ArticleSlots* slots) : slots_(slots) {}
    ArticleSlots* slots_;
  };

  // The file must stay open and unchanged during the walk.
  ArticleSlots(const DatabaseFile& file, SlotRule rule);
  ArticleSlots(const ArticleSlots&) = delete;
  ArticleSlots& operator=(const ArticleSlots&) = delete;

  // One walk per object: begin() starts it.
  Iterator begin();
  std::default_sentinel_t end() const { return {}; }

  // After the walk: whether a read error ended it, and why (with the file's name).
  bool Failed() const { return failed_; }
  const std::string& Error() const { return error_; }
  // The first slot after the last whole record read: the file's end, or where a read failed.
  std::uint32_t EndSlot() const { return endSlot_; }

 private:
  void Advance();
  bool ReadBlock();

  const DatabaseFile& file_;
  SlotRule rule_;
  std::vector<ArticleRecord> block_;
  std::size_t count_ = 0;  // whole records in block_
  std::size_t index_ = 0;  // current record in block_
  std::uint32_t blockFirst_ = 1;
  std::uint32_t number_ = 0;
  std::uint32_t endSlot_ = 1;
  bool lastBlock_ = false;
  bool done_ = false;
  bool failed_ = false;
  std::string error_;
};
