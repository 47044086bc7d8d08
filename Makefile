# SPDX-License-Identifier: BSD-2-Clause
# The two commands of the quick start are `make run` and `make test`; they, and `make
# setup`, are the only targets that install software (through scripts/setup).
# make test runs its stages one after another whatever -j says: the plain suite built with
# g++, the same suite built with clang under AddressSanitizer and UndefinedBehaviorSanitizer,
# the fuzz regression inputs and a short fuzzing run, and last the Debian package built twice
# (the two must be the same bytes) and checked by lintian. Warnings are errors in all of them;
# `make build` and `make install` leave warnings as warnings.
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
FUZZ_SECONDS ?= 600
RUNS ?= 7
PREFIX ?= /usr/local

PLAIN = build
CHECKED = build-check
SANITIZED = build-asan
FUZZ = build-fuzz
PACKAGE = build-package
VERSION := $(shell sed -n 's/^\#\# \([0-9][0-9.]*\) .*/\1/p' CHANGELOG.md | head -n 1)

.PHONY: all setup build run test test-im7 package dist distcheck test-plain test-sanitized \
	test-fuzz test-package test-dist fuzz bench quality verify install uninstall debian-files \
	screenshots valgrind clean

all: build

setup:
	@scripts/setup

$(PLAIN)/CMakeCache.txt:
	cmake -S . -B $(PLAIN) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_INSTALL_PREFIX=$(PREFIX)

# The suite's plain build with g++, the sanitized one with clang: both compilers.
$(CHECKED)/CMakeCache.txt:
	cmake -S . -B $(CHECKED) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCELLPAINT_WERROR=ON

$(SANITIZED)/CMakeCache.txt:
	cmake -S . -B $(SANITIZED) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
	    -DCELLPAINT_SANITIZE=ON -DCELLPAINT_WERROR=ON

$(FUZZ)/CMakeCache.txt:
	cmake -S . -B $(FUZZ) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
	    -DCELLPAINT_FUZZ=ON -DCELLPAINT_TESTS=OFF -DCELLPAINT_WERROR=ON

build: $(PLAIN)/CMakeCache.txt
	cmake --build $(PLAIN) -j $(JOBS)

run: setup
	$(MAKE) build
	$(PLAIN)/cellpaint examples/sample.png

# One stage after another: each sub-make runs to its end before the next starts.
test: setup
	$(MAKE) test-plain
	$(MAKE) test-sanitized
	$(MAKE) test-fuzz
	$(MAKE) test-package
	$(MAKE) test-dist

test-plain: $(CHECKED)/CMakeCache.txt
	cmake --build $(CHECKED) -j $(JOBS)
	ctest --test-dir $(CHECKED) --output-on-failure -j $(JOBS)

test-sanitized: $(SANITIZED)/CMakeCache.txt
	cmake --build $(SANITIZED) -j $(JOBS)
	ctest --test-dir $(SANITIZED) --output-on-failure -j $(JOBS)

test-fuzz: $(FUZZ)/CMakeCache.txt
	cmake --build $(FUZZ) -j $(JOBS)
	ctest --test-dir $(FUZZ) --output-on-failure -j $(JOBS)

# The whole suite against MagickWand 7 (Q16 with g++, Q16HDRI with clang and libc++) and
# the package built there, in a Debian 13 root made with debootstrap. Needs root; the
# root is cached outside the tree.
test-im7:
	scripts/test-im7

# A longer search than the suite's, each fuzzer in turn: make fuzz FUZZ_SECONDS=1800
fuzz: $(FUZZ)/CMakeCache.txt
	cmake --build $(FUZZ) -j $(JOBS)
	for target in command_line render run png_stream; do \
	    tests/fuzz/run-fuzzer search $(FUZZ)/$${target}_fuzz tests/fuzz/corpus/$$target \
	        $(FUZZ_SECONDS) ../shared/testdata/pngsuite || exit 1; \
	done

BENCH = build-bench
$(BENCH)/CMakeCache.txt:
	cmake -S . -B $(BENCH) -DCMAKE_BUILD_TYPE=Release -DCELLPAINT_BENCH=ON -DCELLPAINT_TESTS=OFF

# Google Benchmark of the searches, then the whole program against the library's floor
# and the peers. Not part of make test: timings want a quiet machine.
bench: $(BENCH)/CMakeCache.txt
	cmake --build $(BENCH) -j $(JOBS)
	$(BENCH)/search_bench
	bench/run-bench $(BENCH) $(RUNS)

# What the terminal shows against the picture, each mode with and without -d, written into
# the README. Needs Debian's python3-skimage for its photos. Not part of make test either.
quality: $(BENCH)/CMakeCache.txt
	cmake --build $(BENCH) -j $(JOBS)
	bench/run-quality $(BENCH) README.md

# Every colour of the cube, fast search against plain loop, each mode at several weights.
verify: build
	printf '%s\n' 'rgb 1' 'perceptive 1' 'perceptive 0' 'perceptive 2' 'perceptive -1' \
	    'perceptive 0.5' 'yiq 1' 'yiq 0' 'yiq 2' 'yiq -1' 'yiq 0.5' | \
	    xargs -P $(JOBS) -L 1 $(PLAIN)/verify_searches

# DESTDIR is honoured as usual: make install PREFIX=/usr DESTDIR=/tmp/stage
install: build
	DESTDIR=$(DESTDIR) cmake --install $(PLAIN) --prefix $(PREFIX)

uninstall:
	@test -f $(PLAIN)/install_manifest.txt || { echo "nothing installed from $(PLAIN)"; exit 1; }
	xargs -r rm -fv < $(PLAIN)/install_manifest.txt

# The source and binary packages, built through debian/ as a distribution builds them.
# The packager names the maintainer: make package MAINTAINER='Jane Doe <jane@example.org>'
MAINTAINER ?=
package:
	scripts/package $(PACKAGE) '$(MAINTAINER)'
	@ls $(PACKAGE)/*.deb

# Built twice, compared byte for byte, and checked by lintian.
test-package:
	scripts/check-package $(PACKAGE)

# debian/changelog and debian/copyright, made anew from CHANGELOG.md and LICENSE.
debian-files:
	scripts/debian-changelog CHANGELOG.md "$$(sed -n 's/^Maintainer: //p' debian/control)" \
	    > debian/changelog
	scripts/debian-copyright LICENSE > debian/copyright

# The committed tree as a versioned source tarball: the same bytes from the same commit.
dist:
	git archive --format=tar.gz --prefix=cellpaint-$(VERSION)/ -o cellpaint-$(VERSION).tar.gz HEAD
	@echo cellpaint-$(VERSION).tar.gz

# The tarball made twice, a second apart, must be the same; without git (in an unpacked
# tarball) there is nothing to make it from.
test-dist:
	@if [ -e .git ]; then \
	    first=$$(git archive --format=tar.gz --prefix=cellpaint-$(VERSION)/ HEAD | sha256sum); \
	    sleep 1; \
	    second=$$(git archive --format=tar.gz --prefix=cellpaint-$(VERSION)/ HEAD | sha256sum); \
	    [ "$$first" = "$$second" ] || { echo "make dist: two runs gave different bytes"; exit 1; }; \
	    echo "make dist: the same bytes twice: $$first"; \
	else echo "make dist: not a git checkout, nothing to compare"; fi

distcheck: dist
	rm -rf $(PLAIN)/distcheck && mkdir -p $(PLAIN)/distcheck
	tar -xzf cellpaint-$(VERSION).tar.gz -C $(PLAIN)/distcheck
	$(MAKE) -C $(PLAIN)/distcheck/cellpaint-$(VERSION) test

# The README's pictures, from real xterm screenshots under Xvfb.
screenshots: build
	scripts/screenshots $(PLAIN)

valgrind: build
	scripts/valgrind-check $(PLAIN)/cellpaint

clean:
	rm -rf $(PLAIN) $(CHECKED) $(SANITIZED) $(FUZZ) $(BENCH) $(PACKAGE)
