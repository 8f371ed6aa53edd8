#!/bin/sh
# Runs a node check when what it needs is here; otherwise skips (status 77), or fails when
# SCENEIO_REQUIRE_NODE_TESTS=1 says the check must run (CI).
#
#   gate.sh [--browser] [--python] [--f3d] -- node SCRIPT ARGS...
here=$(cd "$(dirname "$0")" && pwd)
need_browser=0
need_python=0
need_f3d=0
while [ $# -gt 0 ]; do
  case "$1" in
    --browser) need_browser=1 ;;
    --python) need_python=1 ;;
    --f3d) need_f3d=1 ;;
    --) shift; break ;;
    *) echo "gate.sh: unexpected argument $1" >&2; exit 2 ;;
  esac
  shift
done

missing=""
command -v node >/dev/null 2>&1 || missing="$missing; node is not installed"
for package in gltf-validator three puppeteer-core pngjs @gltf-transform/core @gltf-transform/extensions; do
  [ -f "$here/node_modules/$package/package.json" ] ||
    missing="$missing; tests/node/node_modules/$package is absent (run npm ci in tests/node)"
done
chromium=${SCENEIO_CHROMIUM:-/usr/bin/chromium}
if [ "$need_browser" = 1 ] && [ ! -x "$chromium" ]; then
  missing="$missing; chromium is not installed at $chromium"
fi
if [ "$need_python" = 1 ] && ! command -v python3 >/dev/null 2>&1; then
  missing="$missing; python3 is not installed"
fi

if [ "$need_f3d" = 1 ]; then
  for tool in f3d xvfb-run xauth; do
    command -v "$tool" >/dev/null 2>&1 || missing="$missing; $tool is not installed"
  done
fi

if [ -n "$missing" ]; then
  missing=${missing#; }
  if [ "${SCENEIO_REQUIRE_NODE_TESTS:-}" = 1 ]; then
    echo "FAILED: $missing (SCENEIO_REQUIRE_NODE_TESTS=1: this check must run)"
    exit 1
  fi
  echo "SKIPPED: $missing"
  exit 77
fi
exec "$@"
