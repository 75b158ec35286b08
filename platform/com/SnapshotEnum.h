#pragma once
// SnapshotEnum: an enumerator (an IEnumXxx: Next, Skip, Reset, Clone) over a
// copy of the items taken when it was made, so that what changes in the
// source does not disturb a walk under way. HandOut(entry, item) fills one
// item Next gives out (with a reference or an allocation of its own); when it
// answers false the walk stops at that entry.
#include "platform/com/ComObject.h"

#include <algorithm>
#include <type_traits>
#include <vector>

template <class IEnum, class Item, class Entry, auto HandOut>
class SnapshotEnum : public ComObject<IEnum> {
 public:
  explicit SnapshotEnum(std::vector<Entry> items = {}, std::size_t pos = 0)
      : items_(std::move(items)), pos_(pos) {}

  // S_FALSE when fewer than `count` were left; `fetched` may be null only
  // when asking for one.
  HRESULT Next(ULONG count, Item* out, ULONG* fetched) override {
    if (fetched) *fetched = 0;
    if (!out || (!fetched && count > 1)) return E_POINTER;
    ULONG n = 0;
    while (n < count && pos_ < items_.size() && HandOut(items_[pos_], out[n])) {
      ++pos_;
      ++n;
    }
    if (fetched) *fetched = n;
    return n == count ? S_OK : S_FALSE;
  }

  HRESULT Skip(ULONG count) override {
    const std::size_t left = items_.size() - pos_;
    pos_ += std::min<std::size_t>(count, left);
    return count <= left ? S_OK : S_FALSE;
  }

  HRESULT Reset() override {
    pos_ = 0;
    return S_OK;
  }

  // An enumerator with more state than the snapshot (a filter) clones itself.
  HRESULT Clone(IEnum** out) override {
    if (!out) return E_POINTER;
    if constexpr (std::is_abstract_v<SnapshotEnum>) {
      *out = nullptr;
      return E_NOTIMPL;
    } else {
      *out = MakeCom<SnapshotEnum>(items_, pos_).Detach();
      return S_OK;
    }
  }

 protected:
  std::vector<Entry> items_;
  std::size_t pos_;
};
