// The decode tree. A Region is a node of an address space, as a chip's decoders see it:
//   - a leaf: a device's registers or memory, with read and write handlers taking the offset
//     into the leaf and the accepted access widths as data;
//   - a container: subregions at offsets, each enabled or not, with a priority where they
//     overlap (higher wins; on equal priority the later added wins); an address no subregion
//     decodes falls to the container's default: unclaimed, all ones on read, write dropped,
//     counted on the container's owner;
//   - an alias: a window of [size] bytes showing another region from an offset of it (a bridge's
//     forwarding window onto its secondary bus, the host's MMIO window onto a root bus).
// Models change their decode by enabling, moving and resizing their regions (a BAR that moves, a
// bridge window that opens). The bus flattens the tree into sorted ranges and rebuilds them
// lazily after any change, so an access costs a lookup, not a tree walk.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace sim {

class Device;

// Access widths a leaf accepts, as a mask of byte counts.
enum Widths : uint8_t { kW8 = 1, kW16 = 2, kW32 = 4, kW64 = 8, kWAny = 15 };

using ReadHandler = std::function<uint64_t(uint64_t offset, unsigned width)>;
using WriteHandler = std::function<void(uint64_t offset, unsigned width, uint64_t value)>;
// `count` writes of `value` at offset, offset + width, ...: a memory leaf's fast path for a fill,
// with the effect of as many calls of its write handler.
using FillHandler =
    std::function<void(uint64_t offset, unsigned width, uint64_t count, uint64_t value)>;

class Region {
public:
  enum class Kind : uint8_t { Leaf, Container, Alias };

  // A leaf decoded by `owner`. A null handler reads all ones / drops the write.
  static Region Leaf(Device *owner, std::string name, uint64_t size, ReadHandler read,
                     WriteHandler write, uint8_t widths = kWAny);
  // A container; unclaimed accesses inside it count on `owner` (null: on the bus only).
  static Region Container(Device *owner, std::string name, uint64_t size);
  // A window of `size` bytes onto `target` from `targetOffset`.
  static Region Alias(Device *owner, std::string name, Region *target, uint64_t targetOffset,
                      uint64_t size);

  Region(Region &&other) noexcept;
  Region &operator=(Region &&) = delete;
  Region(const Region &) = delete;
  ~Region();

  // Places `child` at `offset` in this container. A child has one parent at a time.
  void AddSubregion(uint64_t offset, Region *child, int priority = 0);
  void RemoveSubregion(Region *child);
  // Takes this region out of its parent, if it has one.
  void Detach();
  const Region *Parent() const { return parent_; }

  void SetEnabled(bool enabled);
  void SetOffset(uint64_t offset); // within the parent
  void SetSize(uint64_t size);
  void SetAliasOffset(uint64_t targetOffset);

  Kind GetKind() const { return kind_; }
  const std::string &Name() const { return name_; }
  Device *Owner() const { return owner_; }
  uint64_t Size() const { return size_; }
  uint64_t Offset() const { return offset_; }
  bool Enabled() const { return enabled_; }
  uint8_t AcceptedWidths() const { return widths_; }

  uint64_t Read(uint64_t offset, unsigned width) const;
  void Write(uint64_t offset, unsigned width, uint64_t value) const;
  // A leaf whose writes never change the decode may take a fill whole (memory).
  void SetFillHandler(FillHandler fill) { fill_ = std::move(fill); }
  bool TakesFill() const { return static_cast<bool>(fill_); }
  void Fill(uint64_t offset, unsigned width, uint64_t count, uint64_t value) const;

  // Changes whenever any region anywhere changes; flat views compare it to know they are stale.
  static uint64_t Generation() { return generation_; }

private:
  friend class FlatView;
  Region(Kind kind, Device *owner, std::string name, uint64_t size);
  static void Changed() { ++generation_; }

  Kind kind_;
  Device *owner_;
  std::string name_;
  uint64_t size_;
  uint64_t offset_ = 0;
  int priority_ = 0;
  uint64_t order_ = 0; // insertion order among siblings
  bool enabled_ = true;
  Region *parent_ = nullptr;
  std::vector<Region *> children_;
  Region *alias_target_ = nullptr;
  uint64_t alias_offset_ = 0;
  ReadHandler read_;
  WriteHandler write_;
  FillHandler fill_;
  uint8_t widths_ = kWAny;
  static uint64_t generation_;
};

// One range of a flattened address space: either a leaf (with the address of the leaf's offset
// 0) or a hole of a container (unclaimed; `leaf` null, `hole_owner` the container's owner).
struct FlatRange {
  uint64_t start;
  uint64_t end; // exclusive
  const Region *leaf;
  uint64_t leaf_base;
  Device *hole_owner;
  const Region *hole; // the container whose default answered
};

class FlatView {
public:
  // Flattens `root` (placed at address 0) into sorted, non-overlapping ranges.
  void Build(const Region &root);
  // The range holding `addr`, or null when the address is outside the root.
  const FlatRange *Find(uint64_t addr) const;
  const std::vector<FlatRange> &Ranges() const { return ranges_; }
  uint64_t BuiltAt() const { return generation_; }

private:
  void Render(const Region &r, int64_t base, uint64_t clipStart, uint64_t clipEnd);
  void Fill(uint64_t start, uint64_t end, const FlatRange &what);

  std::vector<FlatRange> ranges_;
  uint64_t generation_ = ~uint64_t{0};
  mutable size_t last_ = 0;
};

} // namespace sim
