# The window: `make run` builds and opens it; `make screenshot` drives it on a
# private X server and keeps the pictures docs/ shows (ImageMagick puts
# the default and the packed conversion of the big sample level side by side).
BUILD_DIR ?= build

.PHONY: run screenshot pack-picture

run: build
	$(BUILD_DIR)/app/gui/tavro-conversor

screenshot: PURPOSES = build screenshot
screenshot: build
	bash scripts/screenshots.sh $(BUILD_DIR) $(BUILD_DIR)/screenshots
	mkdir -p docs
	cp $(BUILD_DIR)/screenshots/03-converted.png docs/screenshot.png
	cp $(BUILD_DIR)/screenshots/16-maximized.png docs/window-maximized.png
	convert $(BUILD_DIR)/screenshots/09-big-default.png $(BUILD_DIR)/screenshots/10-big-packed.png \
	  -background white -splice 12x0 +append -chop 12x0 -strip docs/packed-window.png

# The picture (docs/packed-level.png) of a level that only a packed conversion carries whole.
pack-picture: PURPOSES = build screenshot
pack-picture: build
	bash scripts/packed_picture.sh $(BUILD_DIR) docs/packed-level.png
