#include "sim/core/region.h"

#include <algorithm>
#include <stdexcept>

namespace sim {

uint64_t Region::generation_ = 0;

namespace {
uint64_t AllOnes(unsigned width) { return width >= 8 ? ~0ull : (1ull << (8 * width)) - 1; }
uint64_t next_order = 0;
} // namespace

Region::Region(Kind kind, Device *owner, std::string name, uint64_t size)
    : kind_(kind), owner_(owner), name_(std::move(name)), size_(size) {
  if (size == 0) {
    throw std::logic_error("region " + name_ + " has no size");
  }
}

Region Region::Leaf(Device *owner, std::string name, uint64_t size, ReadHandler read,
                    WriteHandler write, uint8_t widths) {
  Region r(Kind::Leaf, owner, std::move(name), size);
  r.read_ = std::move(read);
  r.write_ = std::move(write);
  r.widths_ = widths;
  return r;
}

Region Region::Container(Device *owner, std::string name, uint64_t size) {
  return Region(Kind::Container, owner, std::move(name), size);
}

Region Region::Alias(Device *owner, std::string name, Region *target, uint64_t targetOffset,
                     uint64_t size) {
  Region r(Kind::Alias, owner, std::move(name), size);
  r.alias_target_ = target;
  r.alias_offset_ = targetOffset;
  return r;
}

Region::Region(Region &&o) noexcept
    : kind_(o.kind_), owner_(o.owner_), name_(std::move(o.name_)), size_(o.size_),
      offset_(o.offset_), priority_(o.priority_), order_(o.order_), enabled_(o.enabled_),
      alias_target_(o.alias_target_), alias_offset_(o.alias_offset_), read_(std::move(o.read_)),
      write_(std::move(o.write_)), fill_(std::move(o.fill_)), widths_(o.widths_) {
  // Only a region not yet placed in a tree may move.
  if (o.parent_ != nullptr || !o.children_.empty()) {
    std::terminate();
  }
}

Region::~Region() {
  if (parent_ != nullptr) {
    parent_->RemoveSubregion(this);
  }
  for (Region *child : children_) {
    child->parent_ = nullptr;
  }
  Changed();
}

void Region::AddSubregion(uint64_t offset, Region *child, int priority) {
  if (kind_ != Kind::Container) {
    throw std::logic_error("region " + name_ + " is not a container");
  }
  if (child->parent_ != nullptr) {
    throw std::logic_error("region " + child->name_ + " already has a parent");
  }
  child->parent_ = this;
  child->offset_ = offset;
  child->priority_ = priority;
  child->order_ = next_order++;
  children_.push_back(child);
  Changed();
}

void Region::RemoveSubregion(Region *child) {
  auto it = std::find(children_.begin(), children_.end(), child);
  if (it != children_.end()) {
    children_.erase(it);
    child->parent_ = nullptr;
    Changed();
  }
}

void Region::Detach() {
  if (parent_ != nullptr) {
    parent_->RemoveSubregion(this);
  }
}

void Region::SetEnabled(bool enabled) {
  if (enabled_ != enabled) {
    enabled_ = enabled;
    Changed();
  }
}

void Region::SetOffset(uint64_t offset) {
  if (offset_ != offset) {
    offset_ = offset;
    Changed();
  }
}

void Region::SetSize(uint64_t size) {
  if (size == 0) {
    throw std::logic_error("region " + name_ + " has no size");
  }
  if (size_ != size) {
    size_ = size;
    Changed();
  }
}

void Region::SetAliasOffset(uint64_t targetOffset) {
  if (alias_offset_ != targetOffset) {
    alias_offset_ = targetOffset;
    Changed();
  }
}

uint64_t Region::Read(uint64_t offset, unsigned width) const {
  return read_ ? read_(offset, width) & AllOnes(width) : AllOnes(width);
}

void Region::Write(uint64_t offset, unsigned width, uint64_t value) const {
  if (write_) {
    write_(offset, width, value & AllOnes(width));
  }
}

void Region::Fill(uint64_t offset, unsigned width, uint64_t count, uint64_t value) const {
  fill_(offset, width, count, value & AllOnes(width));
}

void FlatView::Build(const Region &root) {
  ranges_.clear();
  last_ = 0;
  Render(root, 0, 0, root.Size());
  std::sort(ranges_.begin(), ranges_.end(),
            [](const FlatRange &a, const FlatRange &b) { return a.start < b.start; });
  generation_ = Region::Generation();
}

// Adds `what` over the parts of [start, end) no range covers yet: regions rendered earlier have
// precedence, and the tree is rendered highest priority first.
void FlatView::Fill(uint64_t start, uint64_t end, const FlatRange &what) {
  std::vector<std::pair<uint64_t, uint64_t>> covered;
  for (const FlatRange &r : ranges_) {
    if (r.start < end && start < r.end) {
      covered.emplace_back(std::max(r.start, start), std::min(r.end, end));
    }
  }
  std::sort(covered.begin(), covered.end());
  uint64_t at = start;
  auto add = [&](uint64_t s, uint64_t e) {
    if (s < e) {
      FlatRange piece = what;
      piece.start = s;
      piece.end = e;
      ranges_.push_back(piece);
    }
  };
  for (const auto &[s, e] : covered) {
    add(at, s);
    at = std::max(at, e);
  }
  add(at, end);
}

// `base` is the address of r's offset 0. It is signed: an alias may show a target from an offset
// above the alias's own address, which puts the target's offset 0 below address 0.
void FlatView::Render(const Region &r, int64_t base, uint64_t clipStart, uint64_t clipEnd) {
  if (!r.enabled_) {
    return;
  }
  const int64_t size = static_cast<int64_t>(r.size_);
  const int64_t startS = std::max(base, static_cast<int64_t>(clipStart));
  const int64_t endS = std::min(base + size, static_cast<int64_t>(clipEnd));
  if (startS >= endS) {
    return;
  }
  const uint64_t start = static_cast<uint64_t>(startS);
  const uint64_t end = static_cast<uint64_t>(endS);
  switch (r.kind_) {
  case Region::Kind::Leaf:
    Fill(start, end, FlatRange{0, 0, &r, static_cast<uint64_t>(base), nullptr, nullptr});
    break;
  case Region::Kind::Alias:
    if (r.alias_target_ != nullptr) {
      // Offset 0 of the target sits alias_offset_ below this window's base.
      Render(*r.alias_target_, base - static_cast<int64_t>(r.alias_offset_), start, end);
    }
    break;
  case Region::Kind::Container: {
    std::vector<const Region *> order(r.children_.begin(), r.children_.end());
    std::sort(order.begin(), order.end(), [](const Region *a, const Region *b) {
      return a->priority_ != b->priority_ ? a->priority_ > b->priority_ : a->order_ > b->order_;
    });
    for (const Region *child : order) {
      Render(*child, base + static_cast<int64_t>(child->offset_), start, end);
    }
    Fill(start, end, FlatRange{0, 0, nullptr, 0, r.owner_, &r});
    break;
  }
  }
}

const FlatRange *FlatView::Find(uint64_t addr) const {
  if (last_ < ranges_.size() && addr >= ranges_[last_].start && addr < ranges_[last_].end) {
    return &ranges_[last_];
  }
  auto it = std::upper_bound(ranges_.begin(), ranges_.end(), addr,
                             [](uint64_t a, const FlatRange &r) { return a < r.start; });
  if (it == ranges_.begin()) {
    return nullptr;
  }
  --it;
  if (addr >= it->end) {
    return nullptr;
  }
  last_ = static_cast<size_t>(it - ranges_.begin());
  return &*it;
}

} // namespace sim
