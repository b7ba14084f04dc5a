#include "sim/core/bus.h"

#include <algorithm>
#include <stdexcept>

namespace sim {

namespace {
uint64_t AllOnes(unsigned width) { return width >= 8 ? ~0ull : (1ull << (8 * width)) - 1; }
const std::string kHost = "host";
} // namespace

Device::Device(Bus &bus, std::string name) : bus_(bus), name_(std::move(name)) {
  bus_.Register(this);
}

Device::~Device() { bus_.Unregister(this); }

void Device::GuestError() {
  ++counts_.guest_errors;
  ++bus_.counts_.guest_errors;
}

Bus::Bus(Clock &clock)
    : clock_(clock), io_root_(Region::Container(nullptr, "io", kIoSpaceSize)),
      memory_root_(Region::Container(nullptr, "memory", kMemorySpaceSize)) {}

Bus::~Bus() = default;

void Bus::Unregister(Device *device) {
  std::erase(devices_, device);
  std::erase_if(fixed_, [&](const Fixed &f) { return f.owner == device; });
}

void Bus::ResetDevices() {
  for (Device *d : devices_) {
    d->Reset();
  }
}

void Bus::MapFixed(Space space, uint64_t base, Region *leaf) {
  const uint64_t limit = space == Space::Io ? kIoSpaceSize : kMemorySpaceSize;
  const uint64_t size = leaf->Size();
  if (base >= limit || size > limit - base) {
    throw std::logic_error("region " + leaf->Name() + " lies outside its address space");
  }
  for (const Fixed &f : fixed_) {
    if (f.space == space && base < f.base + f.size && f.base < base + size) {
      throw std::logic_error("region " + leaf->Name() + " overlaps " + f.leaf->Name());
    }
  }
  Root(space).AddSubregion(base, leaf, kFixedPriority);
  fixed_.push_back({space, base, size, leaf, leaf->Owner()});
}

int Bus::Map(Space space, uint64_t base, uint64_t size, std::string name, ReadHandler read,
             WriteHandler write, uint8_t widths) {
  auto region = std::make_unique<Region>(
      Region::Leaf(nullptr, std::move(name), size, std::move(read), std::move(write), widths));
  MapFixed(space, base, region.get());
  const int id = next_id_++;
  mapped_.push_back({id, std::move(region)});
  return id;
}

void Bus::Unmap(int id) {
  for (Mapped &m : mapped_) {
    if (m.id == id && !m.unmapped) {
      m.unmapped = true;
      m.region->SetEnabled(false);
      std::erase_if(fixed_, [&](const Fixed &f) { return f.leaf == m.region.get(); });
    }
  }
  unmap_pending_ = true;
  EraseUnmapped();
}

void Bus::EraseUnmapped() {
  if (unmap_pending_ && dispatch_depth_ == 0) {
    std::erase_if(mapped_, [](const Mapped &m) { return m.unmapped; });
    unmap_pending_ = false;
  }
}

const FlatRange *Bus::Lookup(Space space, uint64_t addr) {
  FlatView &view = space == Space::Io ? io_view_ : memory_view_;
  if (view.BuiltAt() != Region::Generation()) {
    view.Build(Root(space));
  }
  return view.Find(addr);
}

std::string Bus::RegionName(Space space, uint64_t addr) {
  const FlatRange *r = Lookup(space, addr);
  if (r == nullptr || r->leaf == nullptr) {
    return {};
  }
  return r->leaf->Owner() ? r->leaf->Owner()->Name() : r->leaf->Name();
}

void Bus::Charge(Space space, bool write, uint64_t addr, unsigned width, uint64_t value,
                 const std::string *where) {
  AccessCounts &c = space == Space::Io ? counts_.io : counts_.mmio;
  (write ? c.writes : c.reads)++;
  clock_.Advance(space == Space::Io ? cost_.io_ns
                 : write            ? cost_.mmio_write_ns
                                    : cost_.mmio_read_ns);
  if (trace_) {
    trace_->Record(clock_.NowUs(), space == Space::Io ? "io" : "mmio", write ? "w" : "r", addr,
                   width, value, where ? *where : kHost);
  }
}

void Bus::CountBulk(bool write, unsigned width, uint64_t count) {
  if (write) {
    bulk_.writes += count;
    bulk_.write_bytes += width * count;
    bulk_.write_ns += cost_.mmio_write_ns * count;
  } else {
    bulk_.reads += count;
    bulk_.read_bytes += width * count;
    bulk_.read_ns += cost_.mmio_read_ns * count;
  }
}

uint32_t Bus::UnclaimedWhere(const Device *owner) {
  const std::string &name = owner ? owner->Name() : kHost;
  for (size_t i = 0; i < unclaimed_where_.size(); ++i) {
    if (unclaimed_where_[i] == name) {
      return static_cast<uint32_t>(i);
    }
  }
  unclaimed_where_.push_back(name);
  return static_cast<uint32_t>(unclaimed_where_.size() - 1);
}

void Bus::CountUnclaimed(Space space, uint64_t addr, unsigned width, uint64_t count,
                         const FlatRange *range) {
  counts_.unclaimed += count;
  Device *owner = range ? range->hole_owner : nullptr;
  if (owner != nullptr) {
    owner->Counts().unclaimed += count;
  }
  unclaimed_.Add(static_cast<int>(space), addr, width, count, UnclaimedWhere(owner));
}

std::vector<UnclaimedAccess> Bus::Unclaimed() const {
  std::vector<UnclaimedAccess> out;
  out.reserve(unclaimed_.Size());
  for (const UnclaimedCounts::Entry &e : unclaimed_.Slots()) {
    if (e.space >= 0) {
      out.push_back({static_cast<Space>(e.space), e.addr, unclaimed_where_[e.where], e.count});
    }
  }
  std::sort(out.begin(), out.end(), [](const UnclaimedAccess &a, const UnclaimedAccess &b) {
    return a.space != b.space ? a.space < b.space : a.addr < b.addr;
  });
  return out;
}

uint64_t Bus::Answer(const DeviceRead &read, uint64_t honest) {
  return interposer_ ? interposer_->Answer(read, honest) & AllOnes(read.width) : honest;
}

std::string Bus::FixedConflict(Space space, uint64_t base, uint64_t size) const {
  if (size == 0) {
    return {};
  }
  for (const Fixed &f : fixed_) {
    if (f.space == space && base < f.base + f.size && f.base < base + size) {
      return f.leaf->Owner() ? f.leaf->Owner()->Name() : f.leaf->Name();
    }
  }
  if (space == Space::Memory && base + size > kPlatformFixedBase) {
    return "platform fixed range";
  }
  return {};
}

uint64_t Bus::Dispatch(Space space, bool write, uint64_t addr, unsigned width, uint64_t value) {
  const FlatRange *r = Lookup(space, addr);
  const std::string *where = nullptr;
  Device *decoder = nullptr;
  if (r != nullptr && r->leaf != nullptr) {
    const Region *leaf = r->leaf;
    Device *owner = leaf->Owner();
    where = owner ? &owner->Name() : &leaf->Name();
    // An access that starts in a leaf and runs past its end reaches no register whole: the
    // device sees none of it, and the guest is at fault.
    if (addr + width <= r->end && (leaf->AcceptedWidths() & width)) {
      const uint64_t offset = addr - r->leaf_base;
      ++dispatch_depth_;
      if (write) {
        leaf->Write(offset, width, value);
      } else {
        value = Answer({space == Space::Io ? ReadPath::Io : ReadPath::Memory, owner, addr, width},
                       leaf->Read(offset, width));
      }
      --dispatch_depth_;
      decoder = owner;
      if (owner) {
        ++(write ? owner->Counts().writes : owner->Counts().reads);
        if (owner->BulkMemory()) {
          CountBulk(write, width);
        }
      }
    } else if (owner) {
      owner->GuestError();
    } else {
      ++counts_.guest_errors;
    }
  } else {
    CountUnclaimed(space, addr, 1, 1, r);
    if (r && r->hole_owner) {
      where = &r->hole_owner->Name();
    }
  }
  Charge(space, write, addr, width, value, where);
  for (AccessObserver *o : observers_) {
    o->Observe(space, write, addr, width, value, decoder);
  }
  EraseUnmapped();
  return value;
}

uint64_t Bus::Read(Space space, uint64_t addr, unsigned width) {
  return Dispatch(space, false, addr, width, AllOnes(width));
}

void Bus::Write(Space space, uint64_t addr, unsigned width, uint64_t value) {
  Dispatch(space, true, addr, width, value & AllOnes(width));
}

void Bus::Fill(Space space, uint64_t addr, unsigned width, uint64_t count, uint64_t value) {
  value &= AllOnes(width);
  while (count != 0) {
    const uint64_t done = trace_ == nullptr ? FillRange(space, addr, width, count, value) : 0;
    if (done == 0) { // traced, or a write that straddles a range's end
      Dispatch(space, true, addr, width, value);
      addr += width;
      --count;
    } else {
      addr += done * width;
      count -= done;
    }
  }
}

uint64_t Bus::FillRange(Space space, uint64_t addr, unsigned width, uint64_t count,
                        uint64_t value) {
  const FlatRange *r = Lookup(space, addr);
  if (r == nullptr || r->end <= addr || (r->end - addr) / width == 0) {
    return 0;
  }
  uint64_t n = std::min(count, (r->end - addr) / width);
  Device *decoder = nullptr;
  const Region *leaf = r->leaf;
  if (leaf == nullptr) {
    CountUnclaimed(space, addr, width, n, r);
  } else if ((leaf->AcceptedWidths() & width) == 0) {
    Device *owner = leaf->Owner();
    for (uint64_t i = 0; i < n; ++i) {
      owner ? owner->GuestError() : void(++counts_.guest_errors);
    }
  } else {
    decoder = leaf->Owner();
    const uint64_t offset = addr - r->leaf_base;
    ++dispatch_depth_;
    if (leaf->TakesFill()) {
      leaf->Fill(offset, width, n, value);
    } else {
      // A write may change the decode (a register that moves a BAR): the fill stops after it.
      const uint64_t generation = Region::Generation();
      for (uint64_t i = 0; i < n; ++i) {
        leaf->Write(offset + i * width, width, value);
        if (Region::Generation() != generation) {
          n = i + 1;
          break;
        }
      }
    }
    --dispatch_depth_;
    if (decoder != nullptr) {
      decoder->Counts().writes += n;
      if (decoder->BulkMemory()) {
        CountBulk(true, width, n);
      }
    }
  }
  AccessCounts &c = space == Space::Io ? counts_.io : counts_.mmio;
  c.writes += n;
  const uint64_t each = space == Space::Io ? cost_.io_ns : cost_.mmio_write_ns;
  clock_.Advance(each, n);
  for (AccessObserver *o : observers_) {
    o->ObserveFill(space, addr, width, n, value, decoder);
  }
  EraseUnmapped();
  return n;
}

void Bus::RecordService(std::string_view name, uint64_t arg, uint64_t value) {
  if (trace_) {
    trace_->Record(clock_.NowUs(), "service", name, arg, 0, value, {});
  }
}

} // namespace sim
