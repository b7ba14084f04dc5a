#include "sim/core/register_file.h"

#include <algorithm>
#include <stdexcept>

#include "sim/core/device.h"

namespace sim {

RegisterFile::RegisterFile(uint32_t size) : size_(size) {}

void RegisterFile::Cover(uint32_t end) {
  if (end <= value_.size()) {
    return;
  }
  // Grown in large steps: files are defined register by register, upwards.
  const size_t grown = std::max<size_t>({end, 2 * value_.size(), kMinStored});
  const size_t to = std::min<size_t>(grown, size_);
  value_.resize(to, 0);
  reset_.resize(to, 0);
  write_mask_.resize(to, 0);
  w1c_mask_.resize(to, 0);
  reg_of_byte_.resize(to, -1);
}

RegisterFile::Reg &RegisterFile::RegAt(uint32_t offset, unsigned width) {
  if (width == 0 || offset > size_ || width > size_ - offset) {
    throw std::logic_error("register outside its register file");
  }
  Cover(offset + width);
  if (reg_of_byte_[offset] >= 0) {
    Reg &r = regs_[static_cast<size_t>(reg_of_byte_[offset])];
    if (r.offset == offset && r.width == width) {
      return r;
    }
  }
  regs_.push_back({offset, width, {}, {}, -1});
  for (unsigned i = 0; i < width; ++i) {
    reg_of_byte_[offset + i] = static_cast<int32_t>(regs_.size() - 1);
  }
  return regs_.back();
}

RegisterFile &RegisterFile::Define(const Rule &rule) {
  RegAt(rule.offset, rule.width);
  for (unsigned i = 0; i < rule.width; ++i) {
    const uint32_t at = rule.offset + i;
    reset_[at] = value_[at] = static_cast<uint8_t>(rule.reset >> (8 * i));
    write_mask_[at] = static_cast<uint8_t>(rule.write_mask >> (8 * i));
    w1c_mask_[at] = static_cast<uint8_t>(rule.w1c_mask >> (8 * i));
  }
  return *this;
}

RegisterFile &RegisterFile::DefineRange(uint32_t offset, uint32_t count, unsigned width,
                                        uint64_t reset, uint64_t writeMask) {
  for (uint32_t i = 0; i < count; ++i) {
    Define({offset + i * width, width, reset, writeMask, 0});
  }
  return *this;
}

RegisterFile::Reg &RegisterFile::DefinedAt(uint32_t offset, const char *what) {
  const int32_t index = offset < reg_of_byte_.size() ? reg_of_byte_[offset] : -1;
  if (index < 0 || regs_[static_cast<size_t>(index)].offset != offset) {
    throw std::logic_error(std::string(what) + " on an undefined register");
  }
  return regs_[static_cast<size_t>(index)];
}

RegisterFile &RegisterFile::OnRead(uint32_t offset, ReadHook hook) {
  DefinedAt(offset, "read hook").read = std::move(hook);
  return *this;
}

RegisterFile &RegisterFile::OnWrite(uint32_t offset, WriteHook hook) {
  DefinedAt(offset, "write hook").write = std::move(hook);
  return *this;
}

RegisterFile &RegisterFile::Lock(uint32_t first, uint32_t last, std::function<bool()> locked,
                                 LockMode mode) {
  locks_.push_back({first, last, std::move(locked), mode, -1});
  any_read_lock_ = any_read_lock_ || mode != LockMode::IgnoreWrites;
  return *this;
}

RegisterFile &RegisterFile::Protect(const Key &key) {
  Reg &reg = DefinedAt(key.offset, "key");
  if (reg.width != key.width || (key.offset + key.width > key.first && key.offset <= key.last)) {
    throw std::logic_error("a key register must be defined with its width and lie outside the "
                           "range it protects");
  }
  keys_.push_back(key);
  const auto index = static_cast<int32_t>(keys_.size() - 1);
  reg.key = index;
  locks_.push_back({key.first, key.last, {}, key.mode, index});
  any_read_lock_ = any_read_lock_ || key.mode != LockMode::IgnoreWrites;
  return *this;
}

bool RegisterFile::KeyOpen(const Key &key) const {
  return !(key.never_unlocks != nullptr && *key.never_unlocks) &&
         Get(key.offset, key.width) == key.unlock;
}

bool RegisterFile::Unlocked(uint32_t keyOffset) const {
  for (const Key &k : keys_) {
    if (k.offset == keyOffset) {
      return KeyOpen(k);
    }
  }
  throw std::logic_error("no key register at this offset");
}

bool RegisterFile::Locked(const LockRange &lock) const {
  return lock.key >= 0 ? !KeyOpen(keys_[static_cast<size_t>(lock.key)]) : lock.locked();
}

void RegisterFile::Reset() { value_ = reset_; }

const RegisterFile::LockRange *RegisterFile::LockOf(uint32_t offset, LockMemo &memo) const {
  for (size_t i = 0; i < locks_.size(); ++i) {
    const LockRange &l = locks_[i];
    if (offset < l.first || offset > l.last) {
      continue;
    }
    bool locked;
    if (i < LockMemo::kCapacity) {
      if (memo.state[i] == 0) {
        memo.state[i] = Locked(l) ? 2 : 1;
      }
      locked = memo.state[i] == 2;
    } else {
      locked = Locked(l);
    }
    if (locked) {
      return &l;
    }
  }
  return nullptr;
}

uint64_t RegisterFile::Get(uint32_t offset, unsigned width) const {
  uint64_t v = 0;
  for (unsigned i = 0; i < width && offset + i < value_.size(); ++i) { // bytes past it read 0
    v |= uint64_t{value_[offset + i]} << (8 * i);
  }
  return v;
}

void RegisterFile::Set(uint32_t offset, unsigned width, uint64_t value) {
  Cover(static_cast<uint32_t>(std::min<uint64_t>(uint64_t{offset} + width, size_)));
  for (unsigned i = 0; i < width && offset + i < value_.size(); ++i) {
    value_[offset + i] = static_cast<uint8_t>(value >> (8 * i));
  }
}

void RegisterFile::SetWriteMask(uint32_t offset, unsigned width, uint64_t mask) {
  Cover(static_cast<uint32_t>(std::min<uint64_t>(uint64_t{offset} + width, size_)));
  for (unsigned i = 0; i < width && offset + i < value_.size(); ++i) {
    write_mask_[offset + i] = static_cast<uint8_t>(mask >> (8 * i));
  }
}

uint64_t RegisterFile::Read(uint32_t offset, unsigned width) {
  LockMemo memo;
  // The byte a lock makes a read return, or -1 (only the reading modes change what reads see).
  auto lockedByte = [&](uint32_t at) -> int {
    if (!any_read_lock_) {
      return -1;
    }
    const LockRange *lock = LockOf(at, memo);
    if (lock == nullptr || lock->mode == LockMode::IgnoreWrites) {
      return -1;
    }
    return lock->mode == LockMode::IgnoreWritesReadOnes ? 0xFF : 0;
  };
  uint64_t result = 0;
  unsigned i = 0;
  while (i < width) {
    const uint32_t at = offset + i;
    if (at >= size_) {
      break;
    }
    // Past the last byte ever defined or set, bytes are undefined and read 0.
    const int32_t index = at < reg_of_byte_.size() ? reg_of_byte_[at] : -1;
    if (index < 0) {
      const int forced = lockedByte(at);
      const uint64_t byte = forced >= 0          ? static_cast<uint64_t>(forced)
                            : at < value_.size() ? value_[at]
                                                 : 0;
      result |= byte << (8 * i);
      ++i;
      continue;
    }
    // A defined register: its hook sees the whole register once, the access takes its bytes.
    const Reg &r = regs_[static_cast<size_t>(index)];
    uint64_t whole = Get(r.offset, r.width);
    if (r.key >= 0) {
      const Key &k = keys_[static_cast<size_t>(r.key)];
      whole = KeyOpen(k) ? k.reads_unlocked : k.reads_locked;
    } else if (r.read) {
      whole = r.read(whole);
    }
    for (; i < width && offset + i < r.offset + r.width; ++i) {
      const uint32_t byteAt = offset + i;
      const int forced = lockedByte(byteAt);
      const uint64_t byte =
          forced >= 0 ? static_cast<uint64_t>(forced) : (whole >> (8 * (byteAt - r.offset))) & 0xFF;
      result |= byte << (8 * i);
    }
  }
  return result;
}

void RegisterFile::Write(uint32_t offset, unsigned width, uint64_t value) {
  // Registers that took at least one byte of the write, with their values before it, for the
  // hooks; a register whose bytes a lock dropped was not written.
  struct Taken {
    size_t index;
    uint64_t before;
  };
  Taken taken[8];
  unsigned takenCount = 0;
  LockMemo memo;
  for (unsigned i = 0; i < width; ++i) {
    const uint32_t at = offset + i;
    if (at >= value_.size()) {
      break;
    }
    if (LockOf(at, memo) != nullptr) {
      continue;
    }
    const int32_t index = reg_of_byte_[at];
    if (index >= 0) {
      const size_t idx = static_cast<size_t>(index);
      bool seen = false;
      for (unsigned t = 0; t < takenCount; ++t) {
        seen = seen || taken[t].index == idx;
      }
      if (!seen) {
        taken[takenCount++] = {idx, Get(regs_[idx].offset, regs_[idx].width)};
      }
    }
    const uint8_t byte = static_cast<uint8_t>(value >> (8 * i));
    const uint8_t mask = write_mask_[at];
    uint8_t next = static_cast<uint8_t>((value_[at] & ~mask) | (byte & mask));
    next = static_cast<uint8_t>(next & ~(byte & w1c_mask_[at]));
    value_[at] = next;
  }
  for (unsigned t = 0; t < takenCount; ++t) {
    const Reg &r = regs_[taken[t].index];
    if (r.write) {
      r.write(taken[t].before, Get(r.offset, r.width));
    }
  }
}

Region RegisterFile::Leaf(Device *owner, std::string name, uint8_t widths) {
  return Region::Leaf(
      owner, std::move(name), size_,
      [this, owner](uint64_t offset, unsigned width) -> uint64_t {
        if (!Fits(offset, width)) {
          if (owner != nullptr) {
            owner->GuestError();
          }
          return width >= 8 ? ~uint64_t{0} : (uint64_t{1} << (8 * width)) - 1;
        }
        return Read(static_cast<uint32_t>(offset), width);
      },
      [this, owner](uint64_t offset, unsigned width, uint64_t value) {
        if (!Fits(offset, width)) {
          if (owner != nullptr) {
            owner->GuestError();
          }
          return;
        }
        Write(static_cast<uint32_t>(offset), width, value);
      },
      widths);
}

} // namespace sim
