#pragma once

// The three master lists the program keeps.
enum class MasterKind { Category, Court, Act };
