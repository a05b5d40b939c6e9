# kxrun top-level commands. `make test` works on a fresh Debian 12 machine.
BUILD      ?= build
ASAN_BUILD ?= build-asan
FUZZ_BUILD ?= build-fuzz
JOBS       ?= $(shell nproc)

# What building kxrun and kxpack needs; the rest is for the tests and tools.
DEMO_PACKAGES := cmake ninja-build g++ pkg-config zlib1g-dev libpng-dev \
  libjpeg62-turbo-dev libgif-dev libsdl2-dev libepoxy-dev libgl1-mesa-dri libegl1 libegl-mesa0 libglx-mesa0 \
  libopenal-dev libffi-dev libvorbis-dev libsndfile1-dev libfluidsynth-dev timgm6mb-soundfont nlohmann-json3-dev libfreetype-dev libfontconfig-dev fonts-liberation fonts-dejavu-core
DEB_PACKAGES := $(DEMO_PACKAGES) clang libgtest-dev libgmock-dev imagemagick lua5.4 \
  libclang-rt-14-dev xvfb xauth x11-utils python3 man-db libsdl2-mixer-dev

SUDO := $(shell [ "$$(id -u)" = 0 ] || echo sudo)
PREFIX ?= /usr/local
CONFIGURE = cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo

.PHONY: all deps deps-demo build test install reference test-asan fuzz-gamedata fuzz-sections fuzz-compiler fuzz-savegame demo bench-script bench-world bench-draw bench-collision bench-sound clean format

all: build

# Installs only the packages that are missing.
deps: PACKAGES = $(DEB_PACKAGES)
deps-demo: PACKAGES = $(DEMO_PACKAGES)
deps deps-demo:
	@missing=""; for p in $(PACKAGES); do \
	  dpkg-query -W -f='$${Status}' $$p 2>/dev/null | grep -q "install ok installed" || missing="$$missing $$p"; \
	done; \
	if [ -n "$$missing" ]; then \
	  echo "installing:$$missing"; \
	  $(SUDO) apt-get update -qq && DEBIAN_FRONTEND=noninteractive $(SUDO) apt-get install -y -qq --no-install-recommends $$missing; \
	fi

$(BUILD)/build.ninja:
	$(CONFIGURE)

build: $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS)

test: deps
	$(CONFIGURE) -DKX_TESTS=ON
	cmake --build $(BUILD) -j $(JOBS)
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

# Builds only what is installed; DESTDIR stages the tree for a package. The
# prefix is configured too: built games fall back to PREFIX/bin/kxrun.
install: $(BUILD)/build.ninja
	cmake -S . -B $(BUILD) -DCMAKE_INSTALL_PREFIX=$(PREFIX)
	cmake --build $(BUILD) -j $(JOBS) --target kx_installables
	DESTDIR=$(DESTDIR) cmake --install $(BUILD) --prefix $(PREFIX)

# docs/reference.md from the built-in registry of the kxrun being built.
reference: $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS) --target reference

$(ASAN_BUILD)/build.ninja:
	cmake -S . -B $(ASAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DKX_SANITIZE=ON

test-asan: deps $(ASAN_BUILD)/build.ninja
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	cd $(ASAN_BUILD) && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
	  ctest --output-on-failure -j $(JOBS) -L unit

$(FUZZ_BUILD)/build.ninja:
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKX_FUZZ=ON -DKX_TESTS=OFF

# Runs the game-data reader fuzzer for FUZZ_SECONDS (default 60).
FUZZ_SECONDS ?= 60
fuzz-gamedata: deps $(FUZZ_BUILD)/build.ninja
	cmake --build $(FUZZ_BUILD) -j $(JOBS) --target fuzz_gamedata
	mkdir -p $(FUZZ_BUILD)/corpus-gamedata
	$(FUZZ_BUILD)/fuzz/fuzz_gamedata -max_total_time=$(FUZZ_SECONDS) -rss_limit_mb=2048 \
	  $(FUZZ_BUILD)/corpus-gamedata $(FUZZ_BUILD)/fuzz/seed-gamedata

# Feeds each section reader its own bytes for FUZZ_SECONDS.
fuzz-sections: deps $(FUZZ_BUILD)/build.ninja
	cmake --build $(FUZZ_BUILD) -j $(JOBS) --target fuzz_sections
	mkdir -p $(FUZZ_BUILD)/corpus-sections
	$(FUZZ_BUILD)/fuzz/fuzz_sections -max_total_time=$(FUZZ_SECONDS) -rss_limit_mb=2048 \
	  $(FUZZ_BUILD)/corpus-sections $(FUZZ_BUILD)/fuzz/seed-sections

# Loads fuzzed saved games into a running game for FUZZ_SECONDS.
fuzz-savegame: deps $(FUZZ_BUILD)/build.ninja
	cmake --build $(FUZZ_BUILD) -j $(JOBS) --target fuzz_savegame kxrun
	mkdir -p $(FUZZ_BUILD)/corpus-savegame
	$(FUZZ_BUILD)/fuzz/fuzz_savegame -max_total_time=$(FUZZ_SECONDS) -rss_limit_mb=2048 \
	  $(FUZZ_BUILD)/corpus-savegame $(FUZZ_BUILD)/fuzz/seed-savegame

fuzz-compiler: deps $(FUZZ_BUILD)/build.ninja
	cmake --build $(FUZZ_BUILD) -j $(JOBS) --target fuzz_compiler
	mkdir -p $(FUZZ_BUILD)/corpus-compiler
	cp -n tests/app/games/scripts/scripts/*.kxs $(FUZZ_BUILD)/corpus-compiler/ 2>/dev/null || true
	$(FUZZ_BUILD)/fuzz/fuzz_compiler -max_total_time=$(FUZZ_SECONDS) -rss_limit_mb=2048 -timeout=10 \
	  $(FUZZ_BUILD)/corpus-compiler

# A first build without the test packages configures without the tests.
demo: deps-demo
	@[ -f $(BUILD)/build.ninja ] || $(CONFIGURE) -DKX_TESTS=OFF
	cmake --build $(BUILD) -j $(JOBS) --target kxrun kxpack
	$(BUILD)/tools/kxpack/kxpack build examples/demo -o $(BUILD)/demo.kx
	@if [ -n "$$DISPLAY$$WAYLAND_DISPLAY" ]; then \
	  $(BUILD)/runner/app/kxrun $(BUILD)/demo.kx; \
	else \
	  rm -rf $(BUILD)/demo-frames; \
	  echo "no display: playing a recorded game headless"; \
	  $(BUILD)/runner/app/kxrun --headless --input examples/demo/demo.input --steps 560 \
	    --dump-frames $(BUILD)/demo-frames $(BUILD)/demo.kx && \
	  echo "frames written to $(BUILD)/demo-frames"; \
	fi

# Runs the script benchmarks in this language and in Lua 5.4 and prints the ratios.
bench-script: $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS) --target kx_script_bench
	bench/script/run.sh $(BUILD)/tests/script/kx_script_bench

# Times the game loop on 10,000 instances headless and prints the time per step.
bench-world: $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS) --target kxrun kxpack
	bench/world/run.sh $(BUILD)/tools/kxpack/kxpack $(BUILD)/runner/app/kxrun

# 2,000 movers against 2,000 walls and 5,000 place_free callers, with the
# spatial index and with the plain scan; prints time per step and the ratio.
bench-collision: $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS) --target kxrun kxpack
	bench/collision/run.sh $(BUILD)/tools/kxpack/kxpack $(BUILD)/runner/app/kxrun

# 10,000 sprite instances drawn by kxrun and by an SDL_Renderer program on the
# same offscreen context; prints frames per second of both and the ratio.
bench-draw: $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS) --target kxrun kxpack kx_draw_bench_sdl kx_draw_bench_sdl_shapes kx_draw_bench_gl_limit kx_draw_bench_sdl_text
	bench/draw/run.sh $(BUILD)/tools/kxpack/kxpack $(BUILD)/runner/app/kxrun $(BUILD)/bench/draw/kx_draw_bench_sdl
	bench/draw/run_text.sh $(BUILD)/tools/kxpack/kxpack $(BUILD)/runner/app/kxrun $(BUILD)/bench/draw/kx_draw_bench_sdl_text

# 64 sounds with effects and MIDI music mixed headless for 60 s of game time
# on one core; prints times faster than real time, SDL_mixer's on the same
# files, and the ratio.
bench-sound: $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS) --target kxrun kxpack kx_sound_bench_sdl_mixer
	bench/sound/run.sh $(BUILD)/tools/kxpack/kxpack $(BUILD)/runner/app/kxrun $(BUILD)/bench/sound/kx_sound_bench_sdl_mixer

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(FUZZ_BUILD)

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i
