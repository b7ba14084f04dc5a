# Thin driver over CMake presets. `make demo` and `make test` are the two entry points.
PRESET ?= host
BUILD  := build/$(PRESET)
JOBS   ?= $(shell nproc)

.PHONY: all deps configure build demo test images format format-check fuzz bench qemu clean

all: build

deps:
	@tools/install-deps.sh

configure: deps
	@echo "configuring $(BUILD) (CMake preset $(PRESET))"
	@cmake --preset $(PRESET) >/dev/null

# A short timing summary ends the build (wall time, work done, the slowest steps), so a slower
# build is seen when it happens.
build: configure
	@start=$$(date +%s); first=$$(cat $(BUILD)/.ninja_log 2>/dev/null | wc -l); \
	  cmake --build --preset $(PRESET) -j $(JOBS) || exit $$?; \
	  python3 tools/build_summary.py $(BUILD) $$first $$(( $$(date +%s) - start )) $(JOBS)

# Only what the demo runs: the simulator, the firmware images and the artwork volume.
DEMO_TARGETS := bootsim firmware-images assets-volume

demo: configure
	@echo "building $(DEMO_TARGETS)"
	@cmake --build --preset $(PRESET) -j $(JOBS) --target $(DEMO_TARGETS)
	@echo "booting BootProgressPei on the default board: $(BUILD)/tools/bootsim/bootsim --out out"
	@$(BUILD)/tools/bootsim/bootsim --out out

test: build
	@ctest --preset $(PRESET) -j $(JOBS)

images: configure
	@cmake --build --preset $(PRESET) --target firmware-images

format:
	@git ls-files '*.cpp' '*.h' | xargs clang-format -i

format-check:
	@git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run --Werror

fuzz: build
	@ctest --preset $(PRESET) -L fuzz-long --output-on-failure

# Benchmarks run from a release build without sanitizers, so they measure the simulator itself.
bench: deps
	@cmake --preset release >/dev/null
	@cmake --build --preset release --target bootsim_bench -j $(JOBS)
	@build/release/tests/bench/bootsim_bench

# Both images inside Debian's OVMF on QEMU: out/qemu/<run>/ holds the modified flash, the logs and
# qemu-report.json; out/qemu/qemu-report.json gathers the three runs (docs/qemu.md).
QEMU_TARGETS := fvpack bootsim firmware-images BoardEventsPeim32 BoardEventsPeim64 RecordSinkSmm

qemu: configure
	@cmake --build --preset $(PRESET) -j $(JOBS) --target $(QEMU_TARGETS)
	@python3 tests/qemu/qemu_run.py --run pei-xip --run pei-memory --run smm --check \
	  --fvpack $(BUILD)/tools/fvpack/fvpack --bootsim $(BUILD)/tools/bootsim/bootsim \
	  --firmware-dir $(BUILD)/firmware --out out/qemu

clean:
	@rm -rf build out
