#!/usr/bin/env bash
# Authenticode signatures (SHA-256) through osslsigncode, with the certificate and key that
# the environment names:
#   SIGN_PFX             a PKCS#12 file (.pfx, .p12): the certificate, its chain and the key; or
#   SIGN_CERT, SIGN_KEY  the certificate (PEM: the signing certificate first, then its chain)
#                        and its private key (PEM);
#   SIGN_PASSWORD        the key's password, if it has one;
#   SIGN_TIMESTAMP_URL   an RFC 3161 time-stamp server, so that the signatures stay valid after
#                        the certificate expires.
# sign.sh --signer FOLDER...: checks the settings and prints the certificate's subject, or
#   nothing when no key is given. Fails on a key inside one of the FOLDERs (it must never be
#   copied into the source or the build), and on a key that the password does not open.
# sign.sh FILE...: signs each .exe or .msi in place; a FILE whose signing fails is left as it
#   was, and the script fails.
# The password goes to openssl through its environment and to osslsigncode through a pipe:
# never onto a command line that other processes can read, never into a file.
set -eu
fail() {
    echo "sign: $*" >&2
    exit 1
}

if [ -n "${SIGN_PFX:-}" ]; then
    [ -z "${SIGN_CERT:-}${SIGN_KEY:-}" ] || fail "give SIGN_PFX or SIGN_CERT and SIGN_KEY, not both"
    key_files=("$SIGN_PFX")
    key_args=(-pkcs12 "$SIGN_PFX")
elif [ -n "${SIGN_CERT:-}" ] && [ -n "${SIGN_KEY:-}" ]; then
    key_files=("$SIGN_CERT" "$SIGN_KEY")
    key_args=(-certs "$SIGN_CERT" -key "$SIGN_KEY")
elif [ -n "${SIGN_CERT:-}${SIGN_KEY:-}" ]; then
    fail "SIGN_CERT and SIGN_KEY go together"
elif [ -n "${SIGN_PASSWORD:-}${SIGN_TIMESTAMP_URL:-}" ]; then
    fail "SIGN_PASSWORD or SIGN_TIMESTAMP_URL is set, but no key (SIGN_PFX or SIGN_CERT)"
elif [ "${1:-}" = --signer ]; then
    exit 0
else
    fail "no key given: set SIGN_PFX, or SIGN_CERT and SIGN_KEY"
fi
[ -z "${SIGN_PASSWORD:-}" ] || export SIGN_PASSWORD

if [ "${1:-}" = --signer ]; then
    shift
    for file in "${key_files[@]}"; do
        [ -f "$file" ] && [ -r "$file" ] || fail "cannot read $file"
        real=$(realpath -e "$file")
        for folder in "$@"; do
            case "$real/" in
            "$(realpath -m "$folder")"/*)
                fail "$file lies in $folder: keep the key out of the source, the build and dist/" ;;
            esac
        done
    done
    passin=pass:
    [ -z "${SIGN_PASSWORD:-}" ] || passin=env:SIGN_PASSWORD
    if [ -n "${SIGN_PFX:-}" ]; then
        # Older .pfx files are encrypted with algorithms that OpenSSL 3 keeps as "legacy".
        read_pfx() { openssl pkcs12 "$@" -in "$SIGN_PFX" -nokeys -clcerts -passin "$passin"; }
        cert=$(read_pfx 2>/dev/null || read_pfx -legacy 2>/dev/null) ||
            fail "cannot open $SIGN_PFX: wrong SIGN_PASSWORD, or not a PKCS#12 file"
    else
        openssl pkey -in "$SIGN_KEY" -passin "$passin" -noout 2>/dev/null ||
            fail "cannot read the key $SIGN_KEY: wrong SIGN_PASSWORD, or not a PEM key"
        cert=$(cat "$SIGN_CERT")
    fi
    subject=$(openssl x509 -noout -subject <<<"$cert" 2>/dev/null) ||
        fail "no certificate in ${SIGN_PFX:-$SIGN_CERT}"
    echo "${subject#subject=}"
    exit 0
fi

osslsign() {
    if [ -n "${SIGN_PASSWORD:-}" ]; then
        osslsigncode sign "$@" -readpass <(printf '%s' "$SIGN_PASSWORD")
    else
        osslsigncode sign "$@"
    fi
}
for file in "$@"; do
    args=("${key_args[@]}" -h sha256)
    [ -z "${SIGN_TIMESTAMP_URL:-}" ] || args+=(-ts "$SIGN_TIMESTAMP_URL")
    # The extended signature (MsiDigitalSignatureEx) of an installer covers its metadata too:
    # the dates and class ids of its streams, not only their content.
    case "$file" in *.msi) args+=(-add-msi-dse) ;; esac
    rm -f "$file.signed"
    if ! log=$(osslsign "${args[@]}" -in "$file" -out "$file.signed" </dev/null 2>&1); then
        rm -f "$file.signed"
        echo "$log" >&2
        fail "signing $file failed"
    fi
    mv "$file.signed" "$file"
done
