# Vantrelis: set-up, build, tests, benchmarks and fuzzing.
# A newcomer needs two targets: `make run` and `make test`.

PACKAGES := build-essential cmake pkg-config \
  qt6-base-dev qt6-base-dev-tools qt6-webengine-dev qt6-webengine-dev-tools \
  qt6-httpserver-dev qt6-websockets-dev libgl-dev \
  libxlsxwriter-dev libicu-dev libgtest-dev libgmock-dev libbenchmark-dev \
  xvfb xauth clang libclang-rt-14-dev python3 python3-openpyxl python3-xlsxwriter \
  fonts-dejavu-core qt6-translations-l10n libxcb1-dev librsvg2-bin
# Needed only by `make package`: the Debian tools that build and check it.
PACKAGE_TOOLS := dpkg-dev lintian appstream
# Needed only by `make bench` (the CSV peers), so `make test` and CI skip them.
BENCH_PACKAGES := cargo rustc librust-csv-dev libcsv-dev
# Needed only by `make lint`.
LINT_PACKAGES := clang-tidy clang-format
SUDO := $(shell [ "$$(id -u)" = 0 ] || echo sudo)
JOBS ?= $(shell nproc)
BUILD ?= build
FUZZ_SECONDS ?= 60

.PHONY: all deps package-deps bench-deps build test run package bench fuzz lint clean

all: build

# Installs whichever of the Debian packages $(1) are missing.
install-missing = missing=$$(for p in $(1); do \
	    dpkg-query -W -f='$${Status}\n' $$p 2>/dev/null | grep -q '^install ok installed' || echo $$p; done); \
	if [ -n "$$missing" ]; then \
	  echo "Installing:" $$missing; \
	  $(SUDO) apt-get update -q && \
	  DEBIAN_FRONTEND=noninteractive $(SUDO) apt-get install -y --no-install-recommends $$missing; \
	fi

deps:
	@$(call install-missing,$(PACKAGES))

package-deps:
	@$(call install-missing,$(PACKAGES) $(PACKAGE_TOOLS))

bench-deps:
	@$(call install-missing,$(PACKAGES) $(BENCH_PACKAGES))

$(BUILD)/CMakeCache.txt:
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release

# WERROR=1 (as CI builds) makes the project's warnings errors; WERROR=0 undoes it.
build: $(BUILD)/CMakeCache.txt
	$(if $(WERROR),cmake -S . -B $(BUILD) -DVANTRELIS_WERROR=$(if $(filter 1,$(WERROR)),ON,OFF) >/dev/null)
	cmake --build $(BUILD) -j$(JOBS)

test: deps
	$(MAKE) build
	cd $(BUILD) && ctest --output-on-failure -j$(JOBS) --timeout 600

run: deps
	$(MAKE) build
	@bash app/run.sh $(BUILD)

# The Debian package in $(BUILD)/, checked by appstreamcli and lintian.
package: package-deps
	$(MAKE) build
	cmake --build $(BUILD) --target package
	appstreamcli validate --no-net $(BUILD)/packaging/*.metainfo.xml
	lintian --fail-on error,warning $(BUILD)/vantrelis_*.deb

bench: bench-deps
	$(MAKE) build
	@for b in $(BUILD)/bin/bench/*; do [ -x "$$b" ] || continue; echo "== $$b"; "$$b" || exit 1; done
	@bash bench/peers.sh $(BUILD)

# clang-tidy and clang-format on what changed since main; LINT_ALL=1 checks every file.
lint:
	@$(call install-missing,$(PACKAGES) $(LINT_PACKAGES))
	$(MAKE) build
	@JOBS=$(JOBS) bash tools/lint.sh $(BUILD)

fuzz: deps
	cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=Release -DVANTRELIS_FUZZ=ON \
	  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
	  -DCMAKE_CXX_FLAGS="-g -fsanitize=address,undefined,fuzzer-no-link -fno-sanitize-recover=undefined" \
	  -DCMAKE_C_FLAGS="-g -fsanitize=address,undefined,fuzzer-no-link"
	cmake --build build-fuzz -j$(JOBS)
	@for f in build-fuzz/bin/*_fuzz; do \
	  name=$$(basename $$f); mkdir -p build-fuzz/corpus/$$name; \
	  seeds=tests/fuzz/seeds/$$name; [ -d $$seeds ] || seeds=; \
	  echo "== $$name for $(FUZZ_SECONDS) s"; \
	  $$f -max_total_time=$(FUZZ_SECONDS) -max_len=65536 -print_final_stats=1 \
	    build-fuzz/corpus/$$name $$seeds || exit 1; \
	done

clean:
	rm -rf $(BUILD) build-fuzz
