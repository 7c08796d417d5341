#!/usr/bin/env bash
# The new test prefix trusts the update service's test authority (made here on first use,
# kept beside the prefix) in its own Root store; the host's trust is never touched.
set -euo pipefail
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
/usr/bin/python3 "$repo/tools/update-service/update_service.py" trust-ca
