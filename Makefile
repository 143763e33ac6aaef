# make run   - install what is missing, build, start Tavelin on DATA (default ./data)
# make test  - the same set-up, then every test (offscreen)
# make bench - the benchmark figures on a generated 15000-record file
# make bench-sync - whole syncs of 2000 contacts with a local Radicale, against vdirsyncer (minutes)
# make test-asan - every test built with AddressSanitizer and UBSan (Debug, in build-asan)
# make fuzz - each libFuzzer target for FUZZ_SECONDS (default 60), built with clang in build-fuzz
# make deb   - the Debian package tavelin_<version>_<arch>.deb here, packed from the build with CPack
BUILD ?= build
DATA ?= $(CURDIR)/data
BUILD_TYPE ?= RelWithDebInfo
TAVELIN_WERROR ?= OFF
JOBS ?= $(shell nproc)

.PHONY: deps configure build run test bench bench-sync test-asan fuzz deb clean

deps:
	@scripts/install-deps

configure: deps
	@cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) -DTAVELIN_WERROR=$(TAVELIN_WERROR) >/dev/null

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

run: build
	@mkdir -p "$(DATA)"
	@[ -e "$(DATA)/TAVELIN.HTM" ] || cp resources/TAVELIN.HTM "$(DATA)/TAVELIN.HTM"
	cd "$(DATA)" && "$(abspath $(BUILD))/src/app/tavelin"

test: build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

bench: build
	@bench/run-bench "$(BUILD)"

bench-sync: build
	@scripts/install-bench-deps
	@bench/run-bench-sync "$(BUILD)"

ASAN_BUILD ?= build-asan
# Any report, a leak included, fails the test: the suite runs clean, Qt and X libraries too.
ASAN_ENV = ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:detect_stack_use_after_return=1 \
  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
test-asan: deps
	@cmake -S . -B $(ASAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTAVELIN_SANITIZE=ON -DTAVELIN_WERROR=$(TAVELIN_WERROR) >/dev/null
	@cmake --build $(ASAN_BUILD) -j $(JOBS)
	cd $(ASAN_BUILD) && $(ASAN_ENV) QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 60
fuzz: deps
	@cmake -S . -B $(FUZZ_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ -DTAVELIN_FUZZ=ON -DTAVELIN_WERROR=$(TAVELIN_WERROR) >/dev/null
	@cmake --build $(FUZZ_BUILD) -j $(JOBS)
	@fuzz/run-fuzzers "$(FUZZ_BUILD)" $(FUZZ_SECONDS)

deb: configure
	@cmake --build $(BUILD) -j $(JOBS) --target tavelin tavelin_package_files
	@rm -rf "$(BUILD)/deb"
	@cpack --config "$(BUILD)/CPackConfig.cmake" -G DEB -B "$(abspath $(BUILD))/deb" >/dev/null
	@mv "$(BUILD)"/deb/tavelin_*.deb .
	@ls tavelin_*.deb

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(FUZZ_BUILD)
