# Sourced by the end-to-end scripts that run programs as the unprivileged
# test user named by $user. As root it makes that user when it is missing
# (a test running at the same time may make it first) and sets as_user to
# the command prefix that runs a program as it; as anyone else as_user
# stays empty. Needs the script's fail function.
as_user=()
if [ "$(id -u)" -eq 0 ]; then
  id "$user" >/dev/null 2>&1 || useradd --system --no-create-home --shell /usr/sbin/nologin "$user" ||
    id "$user" >/dev/null || fail "cannot make the user $user"
  as_user=(setpriv "--reuid=$(id -u "$user")" "--regid=$(id -g "$user")" --init-groups --)
fi
