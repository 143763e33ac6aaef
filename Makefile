# make run   - install what is missing, build, start Tavelin on DATA (default ./data)
# make test  - the same set-up, then every test (offscreen)
# make bench - the benchmark figures on a generated 15000-record file
# make sanitize - the record-store tests built with AddressSanitizer and UBSan
BUILD ?= build
DATA ?= $(CURDIR)/data
BUILD_TYPE ?= RelWithDebInfo
TAVELIN_WERROR ?= OFF
JOBS ?= $(shell nproc)

.PHONY: deps configure build run test bench sanitize clean

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

SANITIZE_BUILD ?= build-sanitize
SANITIZE_TESTS = test_record_store test_hostile_files test_options_file
sanitize: deps
	@cmake -S . -B $(SANITIZE_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTAVELIN_SANITIZE=ON -DTAVELIN_WERROR=$(TAVELIN_WERROR) >/dev/null
	@cmake --build $(SANITIZE_BUILD) -j $(JOBS) --target $(SANITIZE_TESTS)
	cd $(SANITIZE_BUILD) && ASAN_OPTIONS=detect_leaks=0 ctest --output-on-failure -R '^($(shell echo $(SANITIZE_TESTS) | tr ' ' '|'))$$'

clean:
	rm -rf $(BUILD) $(SANITIZE_BUILD)
