#include "app/TModPreview.h"

#include "catalogue/TCheckTreeView.h"
#include "catalogue/TModPreviewFiles.h"
#include "catalogue/TRadioState.h"
#include "catalogue/TTreeNode.h"
#include "platform/ExecutablePath.h"
#include "platform/Paths.h"
#include "platform/TReadOnlyFile.h"

#include <QBuffer>
#include <QEvent>
#include <QImageReader>
#include <QLabel>
#include <QMouseEvent>
#include <QVBoxLayout>

#include <algorithm>
#include <exception>

namespace {
std::string ArchivePath(TTreeNode* node)
{
    return ProgramFolder() + node->Parent()->Text().toStdString() + PathDelim + node->Text().toStdString();
}
}

TModPreview::TModPreview(QWidget* page, TCheckTreeView* tree, double scale) : QFrame(page), FTree(tree), FScale(scale)
{
    setObjectName(QStringLiteral("PModPreview"));
    setFrameStyle(QFrame::Box | QFrame::Plain);
    setAutoFillBackground(true);
    // The tree under it keeps its clicks and its hover.
    setAttribute(Qt::WA_TransparentForMouseEvents);
    auto* layout = new QVBoxLayout(this);
    const int pad = std::max(2, static_cast<int>(6 * scale));
    layout->setContentsMargins(pad, pad, pad, pad);
    layout->setSpacing(pad);
    Picture = new QLabel(this);
    Picture->setObjectName(QStringLiteral("LModPicture"));
    Picture->setAlignment(Qt::AlignCenter);
    Description = new QLabel(this);
    Description->setObjectName(QStringLiteral("LModText"));
    Description->setWordWrap(true);
    Description->setTextFormat(Qt::PlainText);
    Description->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    layout->addWidget(Picture);
    layout->addWidget(Description, 1);
    hide();

    FTree->setMouseTracking(true);
    FTree->viewport()->installEventFilter(this);
    connect(FTree, &QTreeWidget::currentItemChanged, this, [this] {
        if (!FTree->viewport()->underMouse())
            ShowFor(Fallback());
    });
}

void TModPreview::Clear()
{
    FCache.clear();
    FShown.clear();
    hide();
}

TTreeNode* TModPreview::Fallback() const
{
    return FTree->hasFocus() ? FTree->Selected() : nullptr;
}

bool TModPreview::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == FTree->viewport()) {
        if (event->type() == QEvent::MouseMove) {
            TTreeNode* node = FTree->GetNodeAt(static_cast<QMouseEvent*>(event)->position().toPoint());
            ShowFor(node ? node : Fallback());
        } else if (event->type() == QEvent::Leave) {
            ShowFor(Fallback());
        }
    }
    return QFrame::eventFilter(watched, event);
}

bool TModPreview::ShowFor(TTreeNode* node)
{
    // Only archives the probe found usable: a note's text names no file.
    if (!node || node->Level() == 0 || node->StateIndex() == csHidden) {
        FShown.clear();
        hide();
        return false;
    }
    const std::string archive = ArchivePath(node);
    if (archive == FShown && isVisible())
        return true;
    const TContent& content = Load(archive);
    if (content.Empty()) {
        FShown.clear();
        hide();
        return false;
    }
    FShown = archive;
    Place(node, content);
    return true;
}

const TModPreview::TContent& TModPreview::Load(const std::string& archive)
{
    auto it = FCache.find(archive);
    if (it != FCache.end())
        return it->second;
    TContent c;
    const TModPreviewFiles files = TModPreviewFiles::Find(archive);
    if (!files.Picture.empty())
        c.Picture = LoadPicture(files.Picture);
    if (!files.Text.empty())
        TModPreviewFiles::ReadText(files.Text, c.Text);
    return FCache.emplace(archive, std::move(c)).first->second;
}

QPixmap TModPreview::LoadPicture(const std::string& path) const
{
    QByteArray bytes;
    try {
        const std::string data = TReadOnlyFile::ReadWhole(path, TModPreviewFiles::MaxPictureBytes);
        bytes = QByteArray(data.data(), static_cast<qsizetype>(data.size()));
    } catch (const std::exception&) {
        return {};
    }
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    reader.setAutoTransform(true);
    // The header's size decides before anything is decoded.
    const QSize size = reader.size();
    if (!size.isValid() || static_cast<qint64>(size.width()) * size.height() > MaxPixels)
        return {};
    const QSize box(std::min(MaxWidth, static_cast<int>(MaxWidth * FScale)),
                    std::min(MaxHeight, static_cast<int>(MaxHeight * FScale)));
    if (size.width() > box.width() || size.height() > box.height())
        reader.setScaledSize(size.scaled(box, Qt::KeepAspectRatio));
    const QImage image = reader.read();
    return image.isNull() ? QPixmap() : QPixmap::fromImage(image);
}

void TModPreview::Place(TTreeNode* node, const TContent& content)
{
    Picture->setPixmap(content.Picture);
    Picture->setVisible(!content.Picture.isNull());
    const QWidget* page = parentWidget();
    const QRect treeBox = FTree->geometry();
    const int margins = 2 * frameWidth() + layout()->contentsMargins().left() + layout()->contentsMargins().right();
    const int textWidth = std::min(static_cast<int>(MaxWidth * FScale), treeBox.width() - margins);
    const int width = std::max(content.Picture.isNull() ? 0 : content.Picture.width(), content.Text.isEmpty() ? 0 : textWidth);
    Description->setText(content.Text);
    Description->setVisible(!content.Text.isEmpty());
    Description->setFixedWidth(width);

    // The text takes what the page leaves below the picture; the rest is cut off.
    const int vertical = 2 * frameWidth() + layout()->contentsMargins().top() + layout()->contentsMargins().bottom();
    const int pictureHeight = content.Picture.isNull() ? 0 : content.Picture.height() + layout()->spacing();
    const int room = page->height() - vertical - pictureHeight - 2;
    const int textHeight = content.Text.isEmpty() ? 0 : std::min(Description->heightForWidth(width), std::max(0, room));
    Description->setFixedHeight(textHeight);
    const QSize total(width + margins, vertical + pictureHeight + textHeight);

    // Right-aligned in the tree, beside the row when there is room, else over it.
    const QRect row = FTree->NodeRect(node).translated(FTree->viewport()->mapTo(page, QPoint(0, 0)));
    const int x = std::max(0, treeBox.right() - total.width());
    int y = row.bottom() + 2;
    if (y + total.height() > page->height())
        y = row.top() - total.height() - 2;
    y = std::clamp(y, 0, std::max(0, page->height() - total.height()));
    setGeometry(x, y, total.width(), total.height());
    raise();
    show();
}
