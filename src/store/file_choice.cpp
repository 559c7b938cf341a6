#include "store/file_choice.h"

#include <utility>

#include "platform/text.h"

namespace store {

std::optional<std::string> chooseFile(ui::Dialog& owner, const ui::FileDialogRequest& request) {
    ui::FileChoice choice = owner.FileDialog(request);
    switch (choice.outcome) {
        case ui::FileChoice::Outcome::Chosen:
            return std::move(choice.path);
        case ui::FileChoice::Outcome::NotCp932:
            owner.ShowMessage(
                text::jp("選択したファイルのパスにはShift_JISで表せない文字が含まれているため、"
                         "使用できません。"));
            return std::nullopt;
        case ui::FileChoice::Outcome::Cancelled:
            break;
    }
    return std::nullopt;
}

}  // namespace store
