# waitFor WHAT COMMAND...: runs COMMAND until it succeeds, and calls the test's own fail with
# WHAT if Bound seconds pass first. The bound only stops a hang; it never measures speed.
waitFor() {
    local what=$1
    shift
    local end=$((SECONDS + Bound))
    until "$@"; do
        [ $SECONDS -lt $end ] || fail "$what: not so within $Bound s"
        sleep 0.1
    done
}
