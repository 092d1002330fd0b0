// The form: its controls and frame, its own file dialog answered as a user
// answers it (select the file name field, type a path, press Return or
// Escape), its shortcuts, files dropped on it, its texts in English and
// Portuguese, and what assistive technology finds.
#include "window_support.h"

class FormTest : public QObject {
    Q_OBJECT

private slots:
    void formHasItsControlsAndFrameWithThePictureBeneath() {
        Fixture form;
        MainWindow& window = *form.window;
        QVERIFY(form.showActive());
        QCOMPARE(window.windowTitle(), QStringLiteral("Orrin -> Tavro 1 para Tavro 2 - SaveState Conversor"));
        auto* area = form.find("clientArea");
        QCOMPARE(QRect(area->mapTo(&window, QPoint()), area->size()), QRect(0, 0, 442, 169));
        QCOMPARE(window.size(), QSize(442, 385));  // it opens at the size it always had
        QCOMPARE(window.minimumSize(), window.size());
        QVERIFY(window.windowFlags() & Qt::WindowMaximizeButtonHint && window.windowFlags() & Qt::WindowMinimizeButtonHint);
        QVERIFY(window.windowIcon().availableSizes().contains(QSize(64, 64)));
        for (const auto& [name, caption, place] : {std::tuple{"Label1", "", QRect(8, 8, 425, 17)},
                                                   {"Command1", "Tavro 1 Save State", {153, 32, 137, 17}},
                                                   {"Label2", "", {8, 56, 425, 17}},
                                                   {"Command2", "Tavro 2 / 2 B Savestate", {153, 80, 137, 17}},
                                                   {"Command3", "Converter", {176, 112, 97, 17}},
                                                   {"Label3", "Programação:", {96, 144, 113, 17}},
                                                   {"Label4", "Orrin", {224, 144, 113, 17}}}) {
            auto* control = form.find(name);
            QVERIFY2(control && control->parentWidget() == area, name);
            QCOMPARE(control->geometry(), place);
            const auto* label = qobject_cast<QLabel*>(control);
            QCOMPARE(label ? label->text() : qobject_cast<QPushButton*>(control)->text(), QString::fromUtf8(caption));
            // Captions inside their buttons with a margin each side; only one too wide takes a smaller font.
            if (auto* button = qobject_cast<QPushButton*>(control)) {
                QVERIFY2(button->fontMetrics().horizontalAdvance(button->text()) <= place.width() - 12, name);
                QCOMPARE(button->testAttribute(Qt::WA_SetFont), QFontMetrics(QApplication::font()).horizontalAdvance(button->text()) > place.width() - 12);
            } else {
                QVERIFY2(!control->testAttribute(Qt::WA_SetFont), "every label keeps the default font");
            }
        }
        auto* picture = window.findChild<LevelPicture*>();
        const QRect panel(picture->mapTo(&window, QPoint(0, 0)), picture->size());
        QVERIFY(panel.top() >= 169 && panel.bottom() < window.statusBar()->geometry().top());

        QCOMPARE(QApplication::focusWidget(), form.find("Command1"));
    }

    // A larger window leaves the form as it was, centred in the width, and
    // gives every extra pixel to the picture, which is drawn larger by whole factors.
    void theFormStaysAndThePictureTakesTheRoomOfALargerWindow() {
        PictureFixture form;
        MainWindow& window = *form.window;
        QVERIFY(form.showActive());
        window.chooseSource(kSampleBig);
        QVERIFY(form.drawn(Side::Before));
        const QSize smallRoom = form.picture->room();
        const QSize small = form.picture->picture().size();
        // The controls are the form's children: its place is theirs.
        const auto formPlace = [&form] { return QRect(form.find("clientArea")->mapTo(form.window.get(), QPoint()), form.find("clientArea")->size()); };
        window.resize(1280, 860);
        QTRY_VERIFY(form.picture->room().width() > 1200 && form.drawn(Side::Before) && form.picture->picture().width() > 2 * small.width());
        const QSize room = form.picture->room(), large = form.picture->picture().size();
        QCOMPARE(room - smallRoom, window.size() - QSize(442, 385));
        QVERIFY2(large.width() * large.height() >= 4 * small.width() * small.height(), "four times the area at least");
        const auto level = *drawing::usedCells(levelOf(kSampleBig), kFirst, kForeground);
        const int factor = drawing::fitFactor(level.columns * drawing::cellPixels(kFirst), room.width());
        QCOMPARE(form.picture->picture(), fromRgba(drawing::drawScaled(levelOf(kSampleBig), kFirst, kForeground, level, factor)));
        QCOMPARE(formPlace(), QRect((1280 - 442) / 2, 0, 442, 169));
        window.showMaximized();
        QTRY_VERIFY(window.isMaximized());
        QCOMPARE(formPlace(), QRect((window.width() - 442) / 2, 0, 442, 169));
    }

    // F1 opens a short help (the two save states, the picture, the backup),
    // whose About button opens a small box with the version and the licence;
    // there is no menu bar.
    void f1ShowsTheHelpAndAboutTheVersionAndTheLicence() {
        Fixture form;
        QCoreApplication::setApplicationVersion(QStringLiteral("9.87"));
        QVERIFY(form.showActive());
        ModalAnswerer help, about;
        auto helpText = std::make_shared<QString>(), text = std::make_shared<QString>();
        help.expect([&about, helpText, text](QWidget* modal) {
            auto* box = qobject_cast<QMessageBox*>(modal);
            if (!box || box->objectName() != QLatin1String("helpBox")) return modal->close(), void();
            *helpText = box->text();
            about.expect([text](QWidget* shown) {
                if (auto* aboutBox = qobject_cast<QMessageBox*>(shown); aboutBox && aboutBox->objectName() == QLatin1String("aboutBox")) *text = aboutBox->text();
                shown->close();
            });
            QTest::mouseClick(box->findChild<QPushButton*>(QStringLiteral("aboutButton")), Qt::LeftButton);
        });
        QTest::keyClick(form.window->windowHandle(), Qt::Key_F1);
        QTRY_VERIFY(help.answered() && about.answered());
        for (const char* words : {"Record the two save states", "Before", "After", ".bak"}) QVERIFY2(helpText->contains(QLatin1String(words)), qPrintable(*helpText));
        QVERIFY2(text->contains(QLatin1String("9.87")) && text->contains(QLatin1String("MIT")), qPrintable(*text));
        QVERIFY(!form.window->findChild<QMenuBar*>());
    }

    void wholeRunThroughTheSharedDialog() {
        QTemporaryDir dir;
        const QString target = dir.filePath(QStringLiteral("target.state"));
        QVERIFY(QFile::copy(kSampleTarget, target));
        MainWindow window;
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        const auto click = [&](const char* name) { QTest::mouseClick(window.findChild<QPushButton*>(name), Qt::LeftButton); };
        ModalAnswerer answerer;
        Offer open, save;

        answerNextDialog(answerer, kSampleSource, &open, true);
        click("Command1");
        QVERIFY(answerer.answered());
        QVERIFY2(!QApplication::activePopupWidget(), "no completion list outlives the dialog");
        QCOMPARE(open.mode, QFileDialog::AcceptOpen);
        QCOMPARE(open.fileMode, QFileDialog::ExistingFile);
        QCOMPARE(window.chosenSource(), kSampleSource);

        // One click opens the save dialog: the same one, offering the source's name in
        // its folder; cancelling it chooses nothing and keeps that name for the next dialog.
        answerNextDialog(answerer, QString(), &save);
        click("Command2");
        QVERIFY(answerer.answered() && window.chosenTarget().isEmpty());
        QCOMPARE(save.mode, QFileDialog::AcceptSave);
        QCOMPARE(save.fileName, QFileInfo(kSampleSource).fileName());
        QCOMPARE(save.folder, QFileInfo(kSampleSource).absolutePath());
        QVERIFY(!save.asksBeforeReplacing);
        answerNextDialog(answerer, target, &save);
        click("Command2");
        QVERIFY2(answerer.answered(), "accepting an existing target asks nothing more");
        QCOMPARE(save.fileName, QFileInfo(kSampleSource).fileName());
        QCOMPARE(window.findChildren<QFileDialog*>().size(), 1);
        QCOMPARE(window.chosenTarget(), target);
        QCOMPARE(window.chosenSource(), kSampleSource);
    }

    void shortcutsChooseFilesAndLongPathsLoseTheirMiddle() {
        Fixture form;
        const QString source = form.copyOf(kSampleSource, QStringLiteral("a.state"));
        const QString target = form.path(QStringLiteral("b.state"));
        form.chooser->answers = {source, target};
        QVERIFY(form.showActive());
        // The buttons' shortcuts press them, as a click does.
        QTest::keyClick(form.window->windowHandle(), Qt::Key_O, Qt::ControlModifier);
        QTRY_COMPARE(form.window->chosenSource(), source);
        QVERIFY2(form.window->statusText().contains(QLatin1String("Tavro 2")), "asks for the target next");
        QTest::keyClick(form.window->windowHandle(), Qt::Key_S, Qt::ControlModifier | Qt::ShiftModifier);
        QTRY_COMPARE(form.window->chosenTarget(), target);
        QCOMPARE(form.find<QLabel>("Label2")->text(), QDir::toNativeSeparators(target));

        // A path too long for its line loses its middle; the tooltip has it all.
        const QString longPath = QStringLiteral("/start") + QStringLiteral("/folder").repeated(60) + "/end.state";
        form.window->chooseSource(longPath);
        const auto* label = form.find<QLabel>("Label1");
        QVERIFY(label->text().startsWith(QLatin1String("/start/")) && label->text().endsWith(QLatin1String("/end.state")));
        QVERIFY(label->fontMetrics().horizontalAdvance(label->text()) <= label->contentsRect().width());
        QCOMPARE(label->toolTip(), longPath);
        QCOMPARE(form.window->chosenSource(), longPath);
    }

    void droppedFilesAreChosenLikeDialogChoices() {
        Fixture form;
        const QUrl source = QUrl::fromLocalFile(form.path(QStringLiteral("dropped source.state")));
        const QUrl target = QUrl::fromLocalFile(form.path(QStringLiteral("dropped-target.state")));
        QVERIFY(dragAndDrop(form.find("Label1"), {source}));
        QVERIFY(dragAndDrop(form.find("Command2"), {target}));
        QCOMPARE(form.window->chosenSource(), source.toLocalFile());
        QCOMPARE(form.window->chosenTarget(), target.toLocalFile());
        QCOMPARE(form.chooser->fileName(), target.toLocalFile());

        // Two files, a remote one, or a drop on Converter choose nothing.
        QVERIFY(!dragAndDrop(form.find("Command1"), {target, source}));
        QVERIFY(!dragAndDrop(form.find("Label1"), {QUrl(QStringLiteral("https://example.org/a.state"))}));
        QVERIFY(!dragAndDrop(form.find("Command3"), {target}));
        QCOMPARE(form.window->chosenSource(), source.toLocalFile());
    }

    // Every line the window writes beneath the form (the status bar's, the
    // picture's caption), in English and in Portuguese, is there in full:
    // measured with the label's font, it fits the label's width or wraps
    // into lines the label is tall enough to show, inside the window. In
    // Portuguese, Qt's own texts are Portuguese too.
    void everyMessageIsReadableInFullInEnglishAndPortuguese() {
        run::ConversionReport lossy;
        lossy.outcome = run::TargetOutcome::Created, lossy.verified = true, lossy.level.cellsLost = 483;
        run::ConversionReport packed = lossy;
        packed.level.numbering = core::ChunkNumbering::Packed, packed.level.chunksUsed = 255;
        run::ConversionReport repeated = packed;  // Convert packed after a conversion with a backup
        repeated.outcome = run::TargetOutcome::Patched, repeated.level.cellsLost = 0, repeated.backupPath = "/saves/tavro2.state.bak.2";
        const QString target = QStringLiteral("tavro2.state");  // a file name as the texts show it
        QVERIFY2(windowTranslator(QLocale(QLocale::English, QLocale::UnitedStates)), "English counts have plural forms");
        QVERIFY2(qtTranslator(QLocale(QLocale::Portuguese, QLocale::Portugal)), "every Portuguese locale gets Qt's");
        const QLocale brazil(QLocale::Portuguese, QLocale::Brazil);
        const std::unique_ptr<QTranslator> ours = windowTranslator(brazil), qt = qtTranslator(brazil);
        QVERIFY2(ours && qt, "qt6-translations-l10n brings Qt's own");
        for (const bool portuguese : {false, true}) {
            for (QTranslator* translator : {ours.get(), qt.get()})
                if (portuguese) QCoreApplication::installTranslator(translator);
            PictureFixture form;
            QVERIFY(form.showActive());
            QCOMPARE(WindowTexts::ready().startsWith(QLatin1String("Escolha")), portuguese);
            for (const auto& [count, english, brazilian] :
                 {std::tuple{1, " · ⚠ 1 cell arrived empty", " · ⚠ 1 célula chegou vazia"}, {2, " · ⚠ 2 cells arrived empty", " · ⚠ 2 células chegaram vazias"}})
                QCOMPARE(WindowTexts::emptiedCaption(count, 0), QString::fromUtf8(portuguese ? brazilian : english));
            QCOMPARE(QMessageBox(QMessageBox::Warning, {}, {}, QMessageBox::Cancel).buttons().constFirst()->text(),
                     portuguese ? QStringLiteral("Cancelar") : QStringLiteral("Cancel"));
            // Each line with the offer shown beside it then; a failure may end in "…" (the long ones
            // here do), whole in the tooltip; the window's size never changes.
            struct Line {
                QString text;
                const char* offer = nullptr;
                bool whole = true;
            };
            std::vector<Line> lines{
                {WindowTexts::ready()},
                {WindowTexts::notFirstGameLevel(target)},
                {WindowTexts::looksSwapped(target), "swapButton"},
                {WindowTexts::notConverted({.cause = core::Cause::LooksSwapped}), "swapButton"},
                {WindowTexts::notConverted({.cause = core::Cause::NotFirstGameLevel})},
                {WindowTexts::readyToConvert(lossy.level, true), "packButton"},
                {WindowTexts::readyToConvert(lossy.level)},
                {WindowTexts::converting(target)},
                {WindowTexts::converted(lossy), "packButton"},
                {WindowTexts::converted(packed)},
                {WindowTexts::converted(repeated) + QLatin1Char(' ') + WindowTexts::originalKeptIn(target + QStringLiteral(".bak")) + QLatin1Char(' ') +
                     WindowTexts::packingStaysOn(),
                 nullptr, false},
                {WindowTexts::undone({run::UndoOutcome::Removed, {}, {}}, target)},
                {WindowTexts::undone({run::UndoOutcome::Restored, {"/saves/tavro2.state.bak", "/saves/tavro2.state.bak.2"}, {"/saves/tavro2.state.bak.3"}}, target), nullptr,
                 false},
                {WindowTexts::notConverted({.cause = core::Cause::NotSecondGameState})},
                {WindowTexts::unexpectedFailure(QStringLiteral("std::bad_alloc")), nullptr, false},
                {WindowTexts::previewOutdated()},
                {WindowTexts::notReady({.step = core::Step::Check, .path = "/saves/tavro1.state", .cause = core::Cause::TooShort, .facts = core::ByteCounts{1000, 107640}}),
                 nullptr, false},
                {WindowTexts::notReady({.file = core::FileRole::Target,
                                        .step = core::Step::Check,
                                        .path = "/saves/tavro2.state",
                                        .cause = core::Cause::NotSecondGameState,
                                        .facts = core::CellCounts{0, 0, core::FileLooks::Zeros}}),
                 nullptr, false},
                {WindowTexts::notReady({.file = core::FileRole::Target,
                                        .step = core::Step::Check,
                                        .path = "/saves/tavro1.state",
                                        .cause = core::Cause::SameFile,
                                        .facts = core::OtherRole{core::FileRole::Source, "/saves/tavro1.state"}}),
                 nullptr, false}};
            for (const bool source : {false, true})
                for (const bool other : {false, true}) lines.insert(lines.end(), {{WindowTexts::choosePaths(source, other)}, {WindowTexts::nextChoice(source, other)}});
            for (const core::FileRole file : {core::FileRole::Source, core::FileRole::Target, core::FileRole::Backup})
                for (int step = 0; step <= static_cast<int>(core::Step::Recheck); ++step) {
                    core::EngineError error{.file = file, .step = static_cast<core::Step>(step), .path = "/saves/tavro2.state", .reason = "Disk full"};
                    lines.push_back({WindowTexts::conversionFailed(error), nullptr, false});
                    error.operation = core::Operation::Undo;
                    lines.push_back({WindowTexts::undoFailed(error), nullptr, false});
                }
            const QString caption = WindowTexts::pictureCaption(QStringLiteral("tavro1-big.state"), 17) + WindowTexts::emptiedCaption(480, 3);
            const QSize opened = form.window->size();
            for (const auto& [name, texts] : {std::pair{"statusMessage", lines}, {"pictureCaption", {Line{caption}}}}) {
                auto* label = form.find<MessageLabel>(name);
                const int height = label->height();  // two lines, whatever the text
                QVERIFY(label->contentsRect().height() <= 2 * label->fontMetrics().lineSpacing() + 2);
                for (const auto& [text, offer, whole] : texts) {
                    for (const char* button : {"packButton", "swapButton"}) form.find(button)->setVisible(offer && !std::strcmp(offer, button));
                    label->setMessage(text, QStringLiteral("details"));
                    for (int i = 0; i < 3; ++i) QCoreApplication::processEvents();  // the window takes its new size
                    const int indent = std::max(label->indent(), 0);  // the text's room: the contents less the indents
                    const QRect room = label->contentsRect().marginsRemoved(QMargins(indent, 0, indent, 0));
                    const QRect needed = label->fontMetrics().boundingRect(QRect(QPoint(), QSize(room.width(), 1000)), Qt::TextWordWrap, text);
                    const bool fits = needed.width() <= room.width() && needed.height() <= room.height();
                    QVERIFY2(fits || (!whole && label->truncated() && label->toolTip() == text + QStringLiteral("\n\ndetails")), qPrintable(text));
                    QVERIFY2(form.window->rect().contains(QRect(label->mapTo(form.window.get(), room.topLeft()), room.size())), qPrintable(text));
                    QVERIFY2(form.window->size() == opened && opened.width() == 442 && label->height() == height, qPrintable(text));
                }
            }
            if (portuguese) {  // engine errors: Portuguese words, the locale's numbers, the file's name only
                const QLocale before;
                QLocale::setDefault(brazil);
                const QString unreadable = WindowTexts::pictureUnreadable({.operation = core::Operation::Draw,
                                                                           .file = core::FileRole::SaveState,
                                                                           .step = core::Step::Check,
                                                                           .path = "/x/short.state",
                                                                           .cause = core::Cause::TooShort,
                                                                           .facts = core::ByteCounts{1000, 107640}});
                QLocale::setDefault(before);
                QCOMPARE(unreadable, QStringLiteral("Sem imagem: short.state: é curto demais para conter um nível: "
                                                    "1.000 bytes, um save state tem pelo menos 107.640."));
            }
            for (QTranslator* translator : {ours.get(), qt.get()}) QCoreApplication::removeTranslator(translator);
        }
    }

    // Assistive technology, walking the window's accessible children, finds
    // every control named, the path lines with their whole paths, and the
    // picture telling which level it shows, its size and the cells left empty.
    void everyControlIsNamedForAssistiveTechnology() {
        PictureFixture form;
        QVERIFY(form.showActive() && form.convertSamples());
        QHash<QObject*, QAccessibleInterface*> reached;
        const std::function<void(QAccessibleInterface*)> walk = [&](QAccessibleInterface* node) {
            for (int i = 0; i < node->childCount(); ++i)
                if (QAccessibleInterface* child = node->child(i)) reached.insert(child->object(), child), walk(child);
        };
        walk(QAccessible::queryAccessibleInterface(form.window.get()));

        const auto level = *drawing::usedCells(levelOf(kSampleSource), kFirst, kForeground);
        const int cell = drawing::cellPixels(kFirst);
        const QString size = QStringLiteral("%1 by %2 pixels").arg(QLocale().toString(level.columns * cell), QLocale().toString(level.rows * cell));
        const QString emptied = QStringLiteral("%1 cells arrived empty").arg(form.picture->marks().size());
        for (const auto& [name, role, named, described] : {std::tuple{"Label1", QAccessible::StaticText, "Tavro 1 save state", QDir::toNativeSeparators(kSampleSource)},
                                                           {"Label2", QAccessible::StaticText, "Tavro 2 save state", QDir::toNativeSeparators(form.window->chosenTarget())},
                                                           {"Command1", QAccessible::Button, "Tavro 1 Save State", QStringLiteral("(Ctrl+O)")},
                                                           {"Command2", QAccessible::Button, "Tavro 2 / 2 B Savestate", QStringLiteral("(Ctrl+Shift+S)")},
                                                           {"Command3", QAccessible::Button, "Converter", QStringLiteral("(Ctrl+Return)")},
                                                           {"statusMessage", QAccessible::StaticText, "Done, and checked.", QString()},
                                                           {"pictureSurface", QAccessible::Graphic, "Level picture", QStringLiteral("target.state: ") + size},
                                                           {"pictureSurface", QAccessible::Graphic, "Level picture", emptied}}) {
            const QAccessibleInterface* node = reached.value(form.find(name));
            QVERIFY2(node && node->role() == role, name);
            QVERIFY2(node->text(QAccessible::Name).contains(QString::fromUtf8(named)), name);
            QVERIFY2(node->text(QAccessible::Description).contains(described), qPrintable(node->text(QAccessible::Description)));
        }
        for (auto node = reached.cbegin(); node != reached.cend(); ++node)  // and every control Tab reaches
            if (auto* widget = qobject_cast<QWidget*>(node.key()); widget && widget->isVisible() && (widget->focusPolicy() & Qt::TabFocus))
                QVERIFY2(!node.value()->text(QAccessible::Name).isEmpty(), qPrintable(widget->objectName()));
    }
};

TAVRO_WINDOW_TEST(FormTest)

#include "form_test.moc"
