// The version the tests expect the DLLs to carry, written here by hand and
// only here, not taken from the build: the load message, the settings
// report, the /?? line and the version resource are exact texts, so a
// version changed by mistake in CMakeLists.txt fails them.
// tests/scripts/version_test.sh checks that this agrees with CMakeLists.txt,
// README's install section and the newest release in CHANGELOG.md.
#pragma once

// The three numbers of the load message and the settings report.
#define EXPECTED_VERSION_SHORT L"1.0.2"
// All four numbers: the version resource and the /?? line.
#define EXPECTED_VERSION EXPECTED_VERSION_SHORT L".3"
