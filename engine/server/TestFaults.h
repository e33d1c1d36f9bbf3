// A switch for tests only: with ORVANE_WORD_TEST_FAULTS=1 in its environment,
// orvane-word misbehaves on inputs that ask for it, so the tests of the window's
// client and of the batch mode can see a document crash, hang or run away with
// memory without keeping a real faulty document around. Without the variable
// (as everywhere but in tests) nothing here does anything.
//
// An input whose bytes begin with "ORVANE-TEST-FAULT " and one of these words:
//   crash          the process dies of SIGSEGV while reading it
//   hang           reading it never ends
//   memory         reading it asks for memory until the engine's limit stops it
//   hang-in-save   it reads as plain text; saving it writes part of the
//                  temporary file and then never ends
#pragma once

#include <string_view>

namespace orvane::server::testfaults {

// Reads the environment; once, at start-up.
void configure();

// Called with an input's bytes before the readers see them.
void onInput(std::string_view bytes);

// Called by a save once its temporary holds the document, before it is renamed.
void whileSaving();

}  // namespace orvane::server::testfaults
