#!/usr/bin/env bash
# Makes (create) or removes (remove) the folder links the Windows tests are refused by.
# Under Wine only a Unix symbolic link to a folder shows as a reparse point, so the links are
# made here, on the Linux side; Unix links to files are never made (Wine's delete and move
# calls would act on their targets).
#
# The fixture lives on drive C of the test prefix: Wine reports the root of drive Z (the
# host's "/") as a reparse point itself, so nothing below it passes the link checks.
#
#   link_fixture.sh create|remove <folder name below C:\>
set -euo pipefail
action=$1
root=${WINEPREFIX:?run under scripts/with-wine}/drive_c/$2

rm -rf "$root"  # removes the links themselves, never their targets' content
[ "$action" = remove ] && exit 0

mkdir -p "$root/outside" "$root/links" "$root/install/.update/job/staging/sub"
echo keep >"$root/outside/keep.txt"
echo staged >"$root/install/.update/job/staging/sub/file.txt"
ln -s "$root/outside" "$root/links/dirlink"
# A link deep inside a tree that a removal walks.
ln -s "$root/outside" "$root/install/.update/job/staging/sub/zlink"
# The .update folder of an installer, and of an installation, is itself a link.
mkdir -p "$root/installer" "$root/linked_install"
ln -s "$root/outside" "$root/installer/.update"
ln -s "$root/outside" "$root/linked_install/.update"
