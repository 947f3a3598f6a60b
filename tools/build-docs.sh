#!/usr/bin/env bash
# Builds the package's documentation site with DocFX, the version pinned by the repository's tool
# manifest (.config/dotnet-tools.json, restored from NuGet): the manual in
# Unity/com.corvan.velo/Documentation~ and the API reference from the runtime assembly's XML
# documentation. A warning fails the build: a broken link, anchor or cross-reference among them.
# Then tools/check-docs-site.py checks the site: every local link resolves, the manifest's
# addresses are pages of it, and headless Chromium renders the index and an API page with no
# console error. Everything is written to the output folder (the package keeps the sources only);
# prints the site's folder last.
#   tools/build-docs.sh [output folder]   (default: build/docs)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=$(mkdir -p "${1:-$root/build/docs}" && cd "${1:-$root/build/docs}" && pwd)
export DOTNET_CLI_TELEMETRY_OPTOUT=1 DOTNET_NOLOGO=1 DOTNET_SKIP_FIRST_TIME_EXPERIENCE=1
package=$root/Unity/com.corvan.velo
docs=$out/source/Documentation~

# The manual's sources beside the package's files they include, and the generated API metadata
# among them: DocFX reads one folder, and nothing it writes reaches the package.
rm -rf "$out/source" "$out/site"
mkdir -p "$docs/obj/assemblies"
cp -r "$package/Documentation~/." "$docs/"
cp "$package/CHANGELOG.md" "$package/LICENSE.md" "$out/source/"
# (DocFX includes no file whose name has a space.)
cp "$package/Third Party Notices.md" "$out/source/third-party-notices.md"

# The runtime assembly as the editor compiles it (the stand-in's control included), with the
# assemblies it refers to.
dotnet build "$root/csharp/Corvan.Velo.Unity" -nologo -v q -f netstandard2.1 \
    -p:VeloBuildDir="$out/csharp/" -p:CopyLocalLockFileAssemblies=true >"$out/csharp.log" ||
    { cat "$out/csharp.log"; exit 1; }
cp "$out"/csharp/bin/Corvan.Velo.Unity/Debug/netstandard2.1/*.dll \
    "$out"/csharp/bin/Corvan.Velo.Unity/Debug/netstandard2.1/Corvan.Velo.Unity.xml "$docs/obj/assemblies/"

cd "$root"
dotnet tool restore >/dev/null
dotnet tool run docfx -- metadata "$docs/docfx.json" --warningsAsErrors --logLevel warning
dotnet tool run docfx -- build "$docs/docfx.json" --output "$out/site" --warningsAsErrors --logLevel warning
python3 "$root/tools/check-docs-site.py" "$out/site" "$out/screenshots"
echo "$out/site"
