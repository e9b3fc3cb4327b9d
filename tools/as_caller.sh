# Sourced by the setup scripts. Started through sudo, packages are installed as root, but the
# build and the program run as the user who called sudo, with that user's home, so that nothing
# in the clone or the settings ends up owned by root.
as_caller() {
    if [ "$(id -u)" = 0 ] && [ -n "${SUDO_USER:-}" ] && [ "$SUDO_USER" != root ]; then
        local home
        home=$(getent passwd "$SUDO_USER" | cut -d: -f6)
        runuser -u "$SUDO_USER" -- env HOME="$home" USER="$SUDO_USER" LOGNAME="$SUDO_USER" \
            XDG_RUNTIME_DIR="/run/user/$(id -u "$SUDO_USER")" "$@"
    else
        "$@"
    fi
}
