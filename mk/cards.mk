# Save states on cards: `make cards-test` runs tests/cards/run.sh, a conversion
# on exFAT and FAT images through their FUSE drivers, each driver killed at its
# writes during a run (root, /dev/fuse and loop devices: without them it says
# so and skips; a few minutes).
BUILD_DIR ?= build

.PHONY: cards-test

cards-test: PURPOSES = build cards
cards-test: deps
	test -f $(BUILD_DIR)/build.ninja || $(MAKE) configure
	cmake --build $(BUILD_DIR) --target tavro tavro_samples -j $(JOBS)
	bash tests/cards/run.sh $(BUILD_DIR)
