# `make windows`: tavro.exe for 64-bit Windows, cross-built with MinGW-w64 into
# build-windows/ and tested under Wine (its prefix lives in the build folder).
# Produces build-windows/tavro.exe and build-windows/tavro-windows.zip, which
# carries the single-file web page (make web) beside tavro.exe.
WINDOWS_DIR ?= build-windows
WINE_PREFIX := $(abspath $(WINDOWS_DIR))/wine
# The tests run each program through this; the GUI-less prefix skips the
# Mono and Gecko installers.
WINE_RUN := env;WINEPREFIX=$(WINE_PREFIX);WINEDEBUG=-all;WINEDLLOVERRIDES=mscoree,mshtml=;DISPLAY=;wine
WINE_ENV := WINEPREFIX=$(WINE_PREFIX) WINEDEBUG=-all WINEDLLOVERRIDES=mscoree,mshtml= DISPLAY=

.PHONY: windows windows-deps windows-build windows-test windows-check

# GoogleTest's sources come with the test purpose's libgtest-dev.
windows-deps: PURPOSES = build test windows
windows-deps: deps

windows-build: windows-deps
	cmake -S . -B $(WINDOWS_DIR) -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake -DCMAKE_BUILD_TYPE=Release \
	  -DTAVRO_BUILD_GUI=OFF -DTAVRO_BUILD_BENCH=OFF -DTAVRO_WERROR=ON "-DCMAKE_CROSSCOMPILING_EMULATOR=$(WINE_RUN)"
	# The Wine prefix, once, fully set up before any test starts.
	test -f $(WINE_PREFIX)/system.reg || { $(WINE_ENV) wineboot -i >/dev/null 2>&1 && $(WINE_ENV) wineserver -w; }
	$(WINE_ENV) cmake --build $(WINDOWS_DIR) -j $(JOBS)
	cp $(WINDOWS_DIR)/app/cli/tavro.exe $(WINDOWS_DIR)/tavro.exe

windows-test: windows-build
	$(WINE_ENV) ctest --test-dir $(WINDOWS_DIR) --output-on-failure -j $(JOBS)

# The same bytes and the same pixels as the Linux build, on random pairs and
# the samples. Only the Linux `tavro` and the samples are brought up to date,
# in the build folder as it was configured (or a new one).
windows-check: windows-build
	test -f $(BUILD_DIR)/build.ninja || $(MAKE) configure
	cmake --build $(BUILD_DIR) --target tavro tavro_samples
	$(WINE_ENV) bash scripts/windows_check.sh $(BUILD_DIR) $(WINDOWS_DIR)

windows: windows-test windows-check web
	rm -f $(WINDOWS_DIR)/tavro-windows.zip
	zip -j -q $(WINDOWS_DIR)/tavro-windows.zip $(WINDOWS_DIR)/tavro.exe $(WEB_DIR)/tavro-conversor.html
	zip -j -q -l $(WINDOWS_DIR)/tavro-windows.zip resources/windows/README.txt resources/windows/NOTICES.txt
	cp LICENSE $(WINDOWS_DIR)/LICENSE.txt
	zip -j -q -l $(WINDOWS_DIR)/tavro-windows.zip $(WINDOWS_DIR)/LICENSE.txt
	x86_64-w64-mingw32-objdump -p $(WINDOWS_DIR)/tavro.exe | grep 'DLL Name'
