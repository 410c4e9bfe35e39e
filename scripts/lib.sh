# Shared by scripts/run and scripts/test: installs what the build needs and configures/builds.
# Sourced, not run.

# Debian packages the build and the tests need.
VELMORA_BUILD_PACKAGES=(
  g++ cmake ninja-build pkg-config googletest libgtest-dev libgmock-dev libbenchmark-dev
  libwxgtk3.2-dev portaudio19-dev libasound2-dev libasound2-plugins
  libavformat-dev libavcodec-dev libavutil-dev libswresample-dev libsystemd-dev
  fonts-noto-cjk
)
VELMORA_TEST_PACKAGES=(xvfb xauth pulseaudio pulseaudio-utils dbus-daemon ffmpeg sox)

velmora_as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

# Installs every package of the given lists that is not installed yet.
velmora_ensure_packages() {
  local missing=()
  local pkg
  for pkg in "$@"; do
    if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed'; then
      missing+=("$pkg")
    fi
  done
  if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    velmora_as_root apt-get update
    velmora_as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${missing[@]}"
  fi
}

# velmora_configure DIR [cmake args...]: configure a tree for Ninja (once; later runs keep it).
velmora_configure() {
  local dir=$1
  shift
  cmake -S "$VELMORA_ROOT" -B "$dir" -G Ninja "$@" >/dev/null
}

# velmora_build DIR [cmake args...]: configure (once) and build a tree with Ninja.
velmora_build() {
  velmora_configure "$@"
  cmake --build "$1" -j "$(nproc)"
}

# velmora_start_pulse DIR: starts a private PulseAudio server in DIR with a null sink "test" as
# the default sink and its monitor as the default source, and points this shell's clients at it
# (PULSE_SERVER, XDG_RUNTIME_DIR; VELMORA_TEST_PULSE=1). Sets velmora_pulse_pid; the caller stops
# it. Fails with the server's log when it does not come up.
# The server runs without real-time scheduling: as root it would take it, and the kernel kills a
# real-time thread that overruns its CPU-time limit, which a busy virtual machine's stolen time
# can make it do; a null sink keeps time without it.
velmora_start_pulse() {
  local dir=$1
  export XDG_RUNTIME_DIR="$dir/runtime"
  mkdir -p "$XDG_RUNTIME_DIR" "$dir/home"
  chmod 700 "$XDG_RUNTIME_DIR"
  rm -f "$dir/pulse.sock"
  HOME="$dir/home" pulseaudio -n --daemonize=no --exit-idle-time=-1 --disallow-exit \
    --realtime=no --high-priority=no \
    --load="module-null-sink sink_name=test" \
    --load="module-native-protocol-unix socket=$dir/pulse.sock" \
    >>"$dir/pulse.log" 2>&1 &
  velmora_pulse_pid=$!
  export PULSE_SERVER="unix:$dir/pulse.sock"
  for _ in $(seq 100); do
    if pactl info >/dev/null 2>&1; then
      pactl set-default-sink test
      pactl set-default-source test.monitor
      export VELMORA_TEST_PULSE=1
      return 0
    fi
    sleep 0.1
  done
  echo "Could not start PulseAudio:" >&2
  cat "$dir/pulse.log" >&2
  return 1
}

# velmora_pulse_answers: true while the server started by velmora_start_pulse takes clients.
velmora_pulse_answers() {
  [ -n "${velmora_pulse_pid:-}" ] && kill -0 "$velmora_pulse_pid" 2>/dev/null &&
    pactl info >/dev/null 2>&1
}

# velmora_revive_pulse DIR WHEN: when the server has gone, says how (its exit status and the end
# of its log) and starts a new one in DIR. Returns 0 when it was up, 1 when it had gone and a new
# one runs, 2 when no new one would start.
velmora_revive_pulse() {
  local dir=$1 when=$2 status=0
  velmora_pulse_answers && return 0
  kill "$velmora_pulse_pid" 2>/dev/null
  wait "$velmora_pulse_pid" 2>/dev/null || status=$?
  echo "The test sound server went away $when (exit status $status); its log ends:" >&2
  tail -n 15 "$dir/pulse.log" >&2
  velmora_start_pulse "$dir" || return 2
  return 1
}
