#include "dialog/helptext.h"

QString helpText()
{
    // Stored as UTF-8 so it reads the same under every locale.
    return QStringLiteral(
        "针对部分文献管理软件如noteexpress导出的题录信息不含有pdf/caj附件，"
        "此程序用于帮助endnote格式题录修复这一问题。"
        "要求题录中的标题信息和文件名称基本相同，两者的相似度可以通过编辑距离调整。"
        "没有找到对应的附件文件或者文件名编辑距离不完全为0的情况，以红色字体显示。"
        "修复后的文件可以直接导入Citavi/Endnote。"
        "enwlink：为ENW题录自动链接本地PDF/CAJ全文的小工具。");
}
