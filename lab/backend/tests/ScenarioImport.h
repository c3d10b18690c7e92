// A shipped scenario's lab keys in the tests' registry, as make-node.sh imports them.
#pragma once

#include <string>

// Imports the lab's sections of the scenario's node.reg after its base's, through Wine's regedit; the node's
// own keys would stay behind in the tests' prefix. scenario: a folder name below lab/scenarios.
bool ImportLabKeys(const std::string& scenario);
