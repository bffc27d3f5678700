#include "string_table.h"

std::string LoadResourceString(unsigned id) {
    switch (id) {
        case resource_ids::kAboutMenuString:
            return "關於 Quenlo...";
        default:
            return {};
    }
}
