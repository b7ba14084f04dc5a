#include "sim/core/phase_log.h"

namespace sim {

namespace {
PhaseLog *current_log = nullptr;

uint64_t Transactions(uint64_t bytes) { return (bytes + 3) / 4; }

PhaseCounts Minus(const PhaseCounts &a, const PhaseCounts &b) {
  PhaseCounts d;
  d.ns = a.ns - b.ns;
  d.stall_ns = a.stall_ns - b.stall_ns;
  d.io = {a.io.reads - b.io.reads, a.io.writes - b.io.writes};
  d.mmio = {a.mmio.reads - b.mmio.reads, a.mmio.writes - b.mmio.writes};
  d.bulk.reads = a.bulk.reads - b.bulk.reads;
  d.bulk.writes = a.bulk.writes - b.bulk.writes;
  d.bulk.read_bytes = a.bulk.read_bytes - b.bulk.read_bytes;
  d.bulk.write_bytes = a.bulk.write_bytes - b.bulk.write_bytes;
  d.bulk.read_ns = a.bulk.read_ns - b.bulk.read_ns;
  d.bulk.write_ns = a.bulk.write_ns - b.bulk.write_ns;
  return d;
}

uint64_t Floor(const PhaseCounts &spent, const CostModel &cost) {
  const uint64_t bulk = spent.bulk.read_ns + spent.bulk.write_ns;
  const uint64_t least = Transactions(spent.bulk.read_bytes) * cost.mmio_read_ns +
                         Transactions(spent.bulk.write_bytes) * cost.mmio_write_ns;
  return spent.ns - (bulk < spent.ns ? bulk : spent.ns) + least;
}
} // namespace

uint64_t Phase::FloorNs(const CostModel &cost) const { return Floor(spent, cost); }

PhaseLog::PhaseLog(Bus &bus, std::function<uint64_t()> stallNs)
    : bus_(bus), stall_ns_(std::move(stallNs)), previous_(current_log) {
  current_log = this;
}

PhaseLog::~PhaseLog() {
  if (current_log == this) {
    current_log = previous_;
  }
}

PhaseLog *PhaseLog::Current() { return current_log; }

PhaseCounts PhaseLog::Now() const {
  PhaseCounts c;
  c.ns = bus_.GetClock().NowNs();
  c.stall_ns = stall_ns_ ? stall_ns_() : 0;
  c.io = bus_.Counts().io;
  c.mmio = bus_.Counts().mmio;
  c.bulk = bus_.Bulk();
  return c;
}

void PhaseLog::Begin(std::string name) {
  Open open;
  open.phase.name = std::move(name);
  open.at_start = Now();
  open.phase.start_ns = open.at_start.ns;
  open_.push_back(std::move(open));
}

void PhaseLog::End() {
  if (open_.empty()) {
    return;
  }
  Open done = std::move(open_.back());
  open_.pop_back();
  done.phase.spent = Minus(Now(), done.at_start);
  std::vector<Phase> &parent = open_.empty() ? roots_ : open_.back().phase.children;
  parent.push_back(std::move(done.phase));
}

PhaseCounts PhaseLog::Total() const { return Now(); }

uint64_t PhaseLog::FloorNs(const PhaseCounts &spent) const { return Floor(spent, bus_.Cost()); }

PhaseScope::PhaseScope(const char *name) : log_(PhaseLog::Current()) {
  if (log_ != nullptr) {
    log_->Begin(name);
  }
}

PhaseScope::~PhaseScope() {
  if (log_ != nullptr) {
    log_->End();
  }
}

} // namespace sim
