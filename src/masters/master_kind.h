#pragma once

enum class MasterKind { Category, Court, Act };
