# Facts that code in more than one language states, set here once: the C++ gets them as compile
# definitions, the scripts and the installer through configure_file.

# The mutex that Quorin and Quorind hold while they run, and that the installer and the
# uninstaller look for to refuse meanwhile. Global\: seen from every session, so that an
# installer run by another user sees it too.
set(QUORIN_RUNNING_MUTEX [[Global\Quorin-Running]])

# The udev rule that quorin-port3 writes, and that the Debian package removes when purged. After
# the system's 60-serial.rules, which sets the ID_ properties the rule matches, and before
# ModemManager's 77- and 80- rules, so that they too see the device marked as none of theirs.
set(QUORIN_PORT3_RULES /etc/udev/rules.d/61-quorin-port3.rules)

# Groups whose members get far more than a serial line: whole disks, the logs, other users'
# terminals, root by sudo or a container daemon. Nobody is told to join one for a device.
set(QUORIN_WIDE_GROUPS root adm admin disk docker kmem libvirt lxd shadow staff sudo sys tty wheel)

string(REPLACE "\\" "\\\\" running_mutex "${QUORIN_RUNNING_MUTEX}")
list(JOIN QUORIN_WIDE_GROUPS " " QUORIN_WIDE_GROUPS_TEXT)
add_compile_definitions(QUORIN_RUNNING_MUTEX="${running_mutex}"
                        QUORIN_WIDE_GROUPS="${QUORIN_WIDE_GROUPS_TEXT}")
