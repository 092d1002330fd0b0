# The window: `make run` builds and opens it; `make screenshot` drives it on a
# private X server and keeps the picture the README shows.
BUILD_DIR ?= build

.PHONY: run screenshot

run: build
	$(BUILD_DIR)/app/gui/tavro-conversor

screenshot: build
	bash app/gui/screenshots.sh $(BUILD_DIR) $(BUILD_DIR)/screenshots
	mkdir -p docs
	cp $(BUILD_DIR)/screenshots/03-converted.png docs/screenshot.png
