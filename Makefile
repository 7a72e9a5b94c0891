# Newcomer entry points: `make run` starts the program, `make test` builds both platforms and tests them.
.PHONY: deps build run test test-native test-asan test-tsan test-win32 bench clean

PRESET_BUILD = cmake --preset $(1) >/dev/null && cmake --build --preset $(1)

deps:
	@tools/install-deps

build: deps
	$(call PRESET_BUILD,native)

run: build
	@tools/run-program

test: deps test-native test-asan test-tsan test-win32

test-native:
	$(call PRESET_BUILD,native)
	ctest --preset native

test-asan:
	$(call PRESET_BUILD,asan)
	ctest --preset asan

test-tsan:
	$(call PRESET_BUILD,tsan)
	ctest --preset tsan

test-win32:
	$(call PRESET_BUILD,win32)
	ctest --preset win32

bench: build
	@tools/run-bench

clean:
	rm -rf build
