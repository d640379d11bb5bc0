// The merge file a template was last previewed with, remembered per
// template in the layout database so the next preview reads it again.
#pragma once

#include <QString>

struct MergeSource {
    QString path;
    QString encoding; // EncodingKey(): "auto", "utf-8" or "shift_jis"
};
