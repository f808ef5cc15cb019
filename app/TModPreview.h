#pragma once

#include <QFrame>
#include <QPixmap>

#include <map>
#include <string>

class QLabel;
class TCheckTreeView;
class TTreeNode;

// The picture and description of the archive under the mouse (or the selected one) in the
// files page's tree, shown over the tree. Nothing shows for archives without them.
class TModPreview : public QFrame {
    Q_OBJECT

public:
    // The picture is scaled to fit this, never enlarged.
    static constexpr int MaxWidth = 480;
    static constexpr int MaxHeight = 320;
    // Pictures whose decoded size is above this are skipped.
    static constexpr qint64 MaxPixels = 6000LL * 4000LL;

    TModPreview(QWidget* page, TCheckTreeView* tree, double scale);

    // Forgets what was read: after every build of the tree.
    void Clear();
    // Shows the node's preview, or hides; true when there is one.
    bool ShowFor(TTreeNode* node);
    // The archive whose preview shows; "" when hidden.
    const std::string& Shown() const { return FShown; }

    QLabel* Picture = nullptr;
    QLabel* Description = nullptr;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct TContent {
        QPixmap Picture;
        QString Text;
        bool Empty() const { return Picture.isNull() && Text.isEmpty(); }
    };
    const TContent& Load(const std::string& archive);
    QPixmap LoadPicture(const std::string& path) const;
    void Place(TTreeNode* node, const TContent& content);
    TTreeNode* Fallback() const;

    TCheckTreeView* FTree;
    double FScale;
    std::map<std::string, TContent> FCache;
    std::string FShown;
};
