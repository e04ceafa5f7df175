# Top-level commands; the work is done by CMake (Ninja) through scripts/.
#   make demo   install what is missing, build, render the demo scene, the blend modes, keyframe tables and layer stamps into out/
#   make test   install what is missing, build all four targets, run every test
#   make build  native build only (build/)
#   make bench  native build with the benchmarks, then run them
#   make cost-scaling  build and run bench/cost_scaling_bench pinned to one core, plot into docs/cost_scaling.png
#   make install  native build, then pathbloom into $(DESTDIR)$(PREFIX)/bin and the plug-in (.so, .pipl)
#               into $(DESTDIR)$(PREFIX)/lib/vomrelpathbloom, where the installed pathbloom finds it
#   make fuzz   clang build of the fuzz harnesses, then each runs FUZZ_SECONDS (default 180) from its corpus
# B sets the build folder (default build), JOBS the parallel compiles (default 2),
# PREFIX the installation's root (default /usr/local), DESTDIR a staging folder before it.

B ?= build
JOBS ?= 2
FUZZ_SECONDS ?= 180
PREFIX ?= /usr/local
export JOBS

.PHONY: all demo test build bench cost-scaling fuzz deps asan i686 win64 win32 install clean

all: build

deps:
	@scripts/install-deps.sh

build: deps
	scripts/build.sh native $(B)

install: build
	DESTDIR="$(DESTDIR)" cmake --install $(B) --prefix "$(PREFIX)"

asan i686 win64 win32: deps
	scripts/build.sh $@ $(B)

test: deps
	scripts/test-all.sh $(B)

demo: build
	@mkdir -p out
	$(B)/pathbloom render scenes/demo.json -o out/demo
	$(B)/pathbloom contact-sheet out/demo -o out/demo-sheet.png
	$(B)/pathbloom render scenes/examples/blend_modes.json -o out/blend-modes
	$(B)/pathbloom contact-sheet out/blend-modes -o out/blend-modes-sheet.png
	$(B)/pathbloom render scenes/examples/keyframes_by_index.json -o out/keyframes
	$(B)/pathbloom contact-sheet out/keyframes -o out/keyframes-sheet.png
	$(B)/pathbloom render scenes/examples/layer_stamps.json -o out/layer-stamps
	$(B)/pathbloom contact-sheet out/layer-stamps -o out/layer-stamps-sheet.png

bench: deps
	PATHBLOOM_BENCH=ON scripts/build.sh native $(B)
	@found=0; for program in $$(find $(B)/bench -maxdepth 1 -type f -executable 2>/dev/null | sort); do \
	    found=1; echo "--- $$program"; $$program || exit 1; done; \
	[ $$found = 1 ] || echo "bench: no benchmark programs built yet"

cost-scaling: deps
	bench/cost_scaling.sh $(B)

fuzz: deps
	scripts/build.sh fuzz $(B)
	scripts/fuzz.sh $(FUZZ_SECONDS) $(B)

clean:
	rm -rf $(B) out
