# The Debian package: `make package` writes build/tavro-conversor_<version>_amd64.deb
# (CPack); `make package-check` runs lintian on it and checks its contents and
# dependencies; `make install-test` installs and removes it in a fresh Debian 12
# root made with debootstrap (root or sudo, and Debian's mirror; 1 to 3 minutes).
BUILD_DIR ?= build

.PHONY: package package-check install-test

package: PURPOSES = build package
package: build
	cpack --config $(BUILD_DIR)/CPackConfig.cmake -B $(BUILD_DIR)

package-check: package
	bash scripts/package-check.sh $(BUILD_DIR)

install-test: package
	bash scripts/install-test.sh $(BUILD_DIR)
