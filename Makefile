# make        builds the saver for both targets (build/win32, build/win64)
# make demo   builds it and runs it full screen under Wine
# make test   builds both targets and runs the whole test suite under Wine

.PHONY: all demo test clean

all:
	scripts/build.sh

demo:
	scripts/demo.sh

test:
	scripts/test.sh

clean:
	rm -rf build
