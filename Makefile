# SPDX-License-Identifier: BSD-2-Clause
# The two commands of the quick start are `make run` and `make test`.
# make test runs the whole suite twice, in a plain build and in one with
# AddressSanitizer and UndefinedBehaviorSanitizer, then replays every fuzz
# regression input and fuzzes each target for a short, bounded time, and last
# builds the Debian package and has lintian check it.
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
FUZZ_SECONDS ?= 25
RUNS ?= 7
PREFIX ?= /usr/local

PLAIN = build
SANITIZED = build-asan
FUZZ = build-fuzz
PACKAGE = build-package
VERSION := $(shell sed -n 's/^\#\# \([0-9][0-9.]*\) .*/\1/p' CHANGELOG.md | head -n 1)

.PHONY: all setup build run test test-im7 test-package dist distcheck test-plain test-sanitized test-fuzz fuzz bench verify install uninstall package screenshots valgrind clean

all: build

setup:
	@scripts/setup

# The plain build with g++, the sanitized one with clang: both compilers, warnings as errors.
$(PLAIN)/CMakeCache.txt:
	cmake -S . -B $(PLAIN) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_INSTALL_PREFIX=$(PREFIX) \
	    -DCELLPAINT_WERROR=ON

$(SANITIZED)/CMakeCache.txt:
	cmake -S . -B $(SANITIZED) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
	    -DCELLPAINT_SANITIZE=ON -DCELLPAINT_WERROR=ON

$(FUZZ)/CMakeCache.txt:
	cmake -S . -B $(FUZZ) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
	    -DCELLPAINT_FUZZ=ON -DCELLPAINT_TESTS=OFF -DCELLPAINT_WERROR=ON

build: setup $(PLAIN)/CMakeCache.txt
	cmake --build $(PLAIN) -j $(JOBS)

run: build
	$(PLAIN)/cellpaint examples/sample.png

test: setup
	$(MAKE) test-plain test-sanitized test-fuzz test-package

test-plain: $(PLAIN)/CMakeCache.txt
	cmake --build $(PLAIN) -j $(JOBS)
	ctest --test-dir $(PLAIN) --output-on-failure -j $(JOBS)

test-sanitized: $(SANITIZED)/CMakeCache.txt
	cmake --build $(SANITIZED) -j $(JOBS)
	ctest --test-dir $(SANITIZED) --output-on-failure -j $(JOBS)

test-fuzz: $(FUZZ)/CMakeCache.txt
	cmake --build $(FUZZ) -j $(JOBS)
	ctest --test-dir $(FUZZ) --output-on-failure -j $(JOBS)

# The whole suite against MagickWand 7 (Q16 with g++, Q16HDRI with clang and libc++) in a
# Debian 13 root made with debootstrap. Needs root; the root is cached outside the tree.
test-im7:
	scripts/test-im7

# A longer search: make fuzz FUZZ_SECONDS=600
fuzz: $(FUZZ)/CMakeCache.txt
	cmake -S . -B $(FUZZ) -DCELLPAINT_FUZZ_SECONDS=$(FUZZ_SECONDS)
	cmake --build $(FUZZ) -j $(JOBS)
	ctest --test-dir $(FUZZ) --output-on-failure -R '_fuzz$$'
	cmake -S . -B $(FUZZ) -DCELLPAINT_FUZZ_SECONDS=25

BENCH = build-bench
$(BENCH)/CMakeCache.txt:
	cmake -S . -B $(BENCH) -DCMAKE_BUILD_TYPE=Release -DCELLPAINT_BENCH=ON -DCELLPAINT_TESTS=OFF

# Google Benchmark of the searches, then the whole program against the library's floor
# and the peers. Not part of make test: timings want a quiet machine.
bench: setup $(BENCH)/CMakeCache.txt
	cmake --build $(BENCH) -j $(JOBS)
	$(BENCH)/search_bench
	bench/run-bench $(BENCH) $(RUNS)

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

# The .deb is built for /usr, as a distribution's packages are. The packager names
# the maintainer: make package MAINTAINER='Jane Doe <jane@example.org>'
MAINTAINER ?= cellpaint developers <cellpaint@localhost>
package: setup
	cmake -S . -B $(PACKAGE) -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
	    -DCELLPAINT_TESTS=OFF -DCELLPAINT_MAINTAINER='$(MAINTAINER)'
	cmake --build $(PACKAGE) -j $(JOBS)
	cd $(PACKAGE) && cpack

# lintian accepts the package; only the placeholder maintainer address is let pass.
test-package: package
	lintian --fail-on error,warning \
	    --suppress-tags bogus-mail-host,bogus-mail-host-in-debian-changelog \
	    $(PACKAGE)/cellpaint_$(VERSION)_*.deb

# The committed tree as a versioned source tarball, and a check that it stands alone.
dist:
	git archive --format=tar.gz --prefix=cellpaint-$(VERSION)/ -o cellpaint-$(VERSION).tar.gz HEAD
	@echo cellpaint-$(VERSION).tar.gz

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
	rm -rf $(PLAIN) $(SANITIZED) $(FUZZ) $(BENCH) $(PACKAGE)
