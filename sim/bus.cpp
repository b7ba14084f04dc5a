#include "sim/bus.h"

#include <algorithm>
#include <stdexcept>

namespace sim {

namespace {
uint64_t AllOnes(unsigned width) { return width >= 8 ? ~0ull : (1ull << (8 * width)) - 1; }
} // namespace

int Bus::Map(Space space, uint64_t base, uint64_t size, std::string name, ReadHandler read,
             WriteHandler write, uint8_t widths) {
  const uint64_t limit = space == Space::Io ? kIoSpaceSize : kMemorySpaceSize;
  if (size == 0 || base >= limit || size > limit - base) {
    throw std::logic_error("region " + name + " lies outside its address space");
  }
  for (const auto &r : regions_) {
    if (!r->unmapped && r->space == space && base < r->base + r->size && r->base < base + size) {
      throw std::logic_error("region " + name + " overlaps " + r->name);
    }
  }
  const int id = next_id_++;
  regions_.push_back(std::make_unique<Region>(
      Region{id, space, base, size, std::move(name), std::move(read), std::move(write), widths}));
  return id;
}

void Bus::Unmap(int id) {
  for (auto &r : regions_) {
    if (r->id == id) {
      r->unmapped = true;
    }
  }
  unmap_pending_ = true;
  EraseUnmapped();
}

void Bus::EraseUnmapped() {
  if (unmap_pending_ && dispatch_depth_ == 0) {
    std::erase_if(regions_, [](const auto &r) { return r->unmapped; });
    unmap_pending_ = false;
  }
}

const Bus::Region *Bus::Find(Space space, uint64_t addr, unsigned width) const {
  for (const auto &r : regions_) {
    if (!r->unmapped && r->space == space && addr >= r->base && addr - r->base < r->size) {
      return width <= r->size - (addr - r->base) ? r.get() : nullptr;
    }
  }
  return nullptr;
}

std::string Bus::RegionName(Space space, uint64_t addr) const {
  const Region *r = Find(space, addr, 1);
  return r ? r->name : std::string();
}

void Bus::Charge(Space space, bool write, uint64_t addr, unsigned width, uint64_t value) {
  AccessCounts &c = space == Space::Io ? counts_.io : counts_.mmio;
  (write ? c.writes : c.reads)++;
  clock_.Advance(space == Space::Io ? cost_.io_ns
                 : write            ? cost_.mmio_write_ns
                                    : cost_.mmio_read_ns);
  if (trace_) {
    trace_->Record(clock_.NowUs(), space == Space::Io ? "io" : "mmio", write ? "w" : "r", addr,
                   width, value);
  }
}

uint64_t Bus::Read(Space space, uint64_t addr, unsigned width) {
  uint64_t value = AllOnes(width);
  if (const Region *r = Find(space, addr, width)) {
    if (r->widths & width) {
      ++dispatch_depth_;
      value = r->read ? r->read(addr - r->base, width) & AllOnes(width) : value;
      --dispatch_depth_;
    } else {
      counts_.guest_errors++;
    }
  } else {
    counts_.unclaimed++;
  }
  Charge(space, false, addr, width, value);
  EraseUnmapped();
  return value;
}

void Bus::Write(Space space, uint64_t addr, unsigned width, uint64_t value) {
  value &= AllOnes(width);
  if (const Region *r = Find(space, addr, width)) {
    if (r->widths & width) {
      if (r->write) {
        ++dispatch_depth_;
        r->write(addr - r->base, width, value);
        --dispatch_depth_;
      }
    } else {
      counts_.guest_errors++;
    }
  } else {
    counts_.unclaimed++;
  }
  Charge(space, true, addr, width, value);
  EraseUnmapped();
}

void Bus::RecordService(std::string_view name, uint64_t arg, uint64_t value) {
  if (trace_) {
    trace_->Record(clock_.NowUs(), "service", name, arg, 0, value);
  }
}

} // namespace sim
