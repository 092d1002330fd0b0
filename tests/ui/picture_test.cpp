// The level picture beneath the form, its preview of the conversion and its
// larger view, compared with what the engine draws, pixel for pixel.
#include "window_support.h"

class PictureTest : public QObject {
    Q_OBJECT

private slots:
    void pictureShowsTheSourceThenTheTargetAndTheKeyboardReachesIt() {
        PictureFixture form;
        QVERIFY(form.showActive());
        QVERIFY(!form.button("beforeButton")->isVisible() && !form.button("afterButton")->isVisible());

        // Converting at once, before the source's picture came back: the
        // target's level, read as the second game, framed as the source's and
        // at the same scale; Before shows the source's, fitted to the width.
        QVERIFY(form.convertSamples());
        QCOMPARE(form.picture->side(), Side::After);
        const QImage after = form.picture->picture();
        QTest::mouseClick(form.button("beforeButton"), Qt::LeftButton);
        const QImage before = form.picture->picture();
        const QSize room = form.picture->room();
        QVERIFY(before.width() <= room.width() && before.height() <= room.height());
        QVERIFY2(before.width() > room.width() * 9 / 10, "the wide sample level fills the width");
        const auto preview = drawing::drawPreview(levelOf(kSampleSource), kFirst, kForeground, room.width(), room.height());
        QVERIFY(preview.has_value());
        QCOMPARE(before, fromRgba(preview->picture));
        const auto frame = *drawing::usedCells(levelOf(kSampleSource), kFirst, kForeground);
        const drawing::CellBox doubled{frame.column * 2, frame.row * 2, frame.columns * 2, frame.rows * 2};
        const int factor = drawing::fitFactor(doubled.columns * 128, after.width());
        QCOMPARE(after.size(), before.size());
        QCOMPARE(after, fromRgba(drawing::drawScaled(levelOf(form.window->chosenTarget()), drawing::Game::Second, kForeground, doubled, factor)));
        QTest::mouseClick(form.button("afterButton"), Qt::LeftButton);
        QCOMPARE(form.picture->picture(), after);

        // From Converter: the packing choice, its offer (the sample loses cells),
        // Undo, the picture, the switch (one stop for both, as for any
        // exclusive group), and round to the first button; Return on the
        // picture opens the larger view.
        QStringList order;
        for (int i = 0; i < 7; ++i) {
            QTest::keyClick(form.window->windowHandle(), Qt::Key_Tab);
            order << QApplication::focusWidget()->objectName();
        }
        QCOMPARE(order.mid(0, 5), QStringList({QStringLiteral("packCheck"), QStringLiteral("backupCheck"), QStringLiteral("packButton"), QStringLiteral("undoButton"),
                                               QStringLiteral("pictureSurface")}));
        QVERIFY2(order[5] == QLatin1String("beforeButton") || order[5] == QLatin1String("afterButton"), qPrintable(order[5]));
        QCOMPARE(order[6], QStringLiteral("Command1"));
        form.find("pictureSurface")->setFocus();
        QTest::keyClick(form.window->windowHandle(), Qt::Key_Return);
        auto* view = form.window->findChild<LevelView*>();
        QVERIFY(view && view->windowTitle().contains(QLatin1String("after the conversion")) && QTest::qWaitForWindowActive(view));
        QTest::keyClick(view->windowHandle(), Qt::Key_Escape);
        QTRY_VERIFY2(!form.window->findChild<LevelView*>(), "Escape closes the larger view");

        // Undoing shows the preview of the same conversion again; another target brings its own.
        form.window->undoLastConversion();
        QVERIFY(form.drawn(Side::After) && form.picture->showsPreview());
        QCOMPARE(form.picture->picture(), after);
        form.click("Command3");
        QVERIFY(form.picture->hasAfter() && !form.picture->showsPreview());
        form.window->chooseTarget(form.path(QStringLiteral("other.state")));
        QVERIFY(form.picture->hasAfter() && form.picture->showsPreview());
    }

    void lostCellsAreMarkedAndThePackedConversionOfferedCarriesThem() {
        PictureFixture form;
        QVERIFY(form.showActive());
        const QString target = form.copyOf(kSampleTarget, QStringLiteral("target.state"));
        const QByteArray original = readAll(target), source = readAll(kSampleBig);
        std::vector<drawing::CellBox> lost;  // foreground cells naming chunks 64 and above, in second-game cells
        const auto layout = static_cast<qsizetype>(tavro::core::format::kMainRamOffset + tavro::core::format::kFirstGame.layout);
        for (int cell = 0; cell < 1024; ++cell)
            if (cell % 128 < 64 && (source[layout + cell] & 0x7F) >= 64) lost.push_back({cell % 128 * 2, cell / 128 * 2, 2, 2});
        const auto markPixels = [&form] {
            const QImage shot = form.find("pictureSurface")->grab().toImage();
            int count = 0;
            for (int y = 0; y < shot.height(); ++y)
                for (int x = 0; x < shot.width(); ++x) count += shot.pixelColor(x, y) == emptyCellMarkColour();
            return count;
        };
        form.window->chooseSource(kSampleBig);
        form.window->chooseTarget(target);
        QVERIFY(!form.window->packs() && form.drawn(Side::Before));
        form.click("Command3");
        QVERIFY(form.drawn(Side::After));
        QCOMPARE(form.picture->marks(), lost);
        QVERIFY2(markPixels() > 20 * static_cast<int>(lost.size()), "every mark shows");
        const QString caption = form.find<QLabel>("pictureCaption")->text();
        QVERIFY2(caption.contains(QStringLiteral("%1 cells arrived empty").arg(lost.size())), qPrintable(caption));
        QVERIFY(form.window->statusText().contains(QStringLiteral("⚠ %1 cells arrived empty.").arg(lost.size())));
        QVERIFY(form.find("statusMessage")->toolTip().contains(QStringLiteral("%1 cells name Tavro 1 chunks 64").arg(lost.size())));
        QCOMPARE(form.picture->openView()->area()->marks().size(), static_cast<qsizetype>(lost.size()));

        auto* offer = form.find<QToolButton>("packButton");
        QVERIFY(offer->isVisible());
        QTest::mouseClick(offer, Qt::LeftButton);
        QVERIFY(form.window->packs() && !offer->isVisible());
        QCOMPARE(readAll(target), convertedInMemory(source, original, core::ChunkNumbering::Packed));
        QVERIFY2(form.find("statusMessage")->toolTip().contains(QLatin1String("Packed:")), qPrintable(form.find("statusMessage")->toolTip()));
        QVERIFY2(form.window->statusText().contains(QLatin1String("Packing stays on")), qPrintable(form.window->statusText()));
        QVERIFY(form.drawn(Side::After));
        QVERIFY(form.picture->marks().empty());
        QCOMPARE(markPixels(), 0);
        QVERIFY(!form.find<QLabel>("pictureCaption")->text().contains(QLatin1String("empty")));
        form.window->undoLastConversion();
        QCOMPARE(readAll(target), original);  // as before both conversions
        QVERIFY2(!form.window->packs(), "the box is as it was before both");
    }

    void aFileThatCannotBeDrawnShowsWhy() {
        QByteArray empty = readAll(kSampleSource);
        empty.replace(static_cast<qsizetype>(tavro::core::format::kMainRamOffset + tavro::core::format::kFirstGame.layout), 1024, QByteArray(1024, '\0'));
        for (const auto& [name, bytes, reason] : {std::tuple{"missing.state", QByteArray(), QStringLiteral("could not open missing.state")},
                                                  std::tuple{"short.state", QByteArray(100, '\x07'), QStringLiteral("short.state: it is too short")},
                                                  std::tuple{"empty.state", empty, WindowTexts::pictureEmpty()}}) {
            PictureFixture form;
            if (!bytes.isEmpty()) QVERIFY(writeAll(form.path(QLatin1String(name)), bytes));
            form.window->chooseSource(form.path(QLatin1String(name)));
            QVERIFY(form.drawn(Side::Before));
            QVERIFY(form.picture->picture().isNull());
            QVERIFY2(form.picture->message().contains(reason), qPrintable(form.picture->message()));
            QVERIFY2(!form.picture->message().contains(form.dir.path()), "the picture names the file, not its folder");
            QVERIFY(!form.picture->openView());
        }
    }

    void viewShowsTheWholeLevelUnscaledZoomsAndSaves() {
        PictureFixture form;
        QVERIFY(form.showActive());
        // A wider window: the form keeps its size, centred; the picture grows.
        form.window->resize(1100, form.window->height());
        QTRY_COMPARE(form.find("clientArea")->geometry(), QRect((1100 - 442) / 2, 0, 442, form.find("clientArea")->height()));
        form.window->chooseSource(kSampleSource);
        QVERIFY(form.drawn(Side::Before));
        QTest::mouseClick(form.find("pictureSurface"), Qt::LeftButton);
        auto* view = form.window->findChild<LevelView*>();
        QVERIFY(view && view->isWindow());
        QVERIFY(QTest::qWaitForWindowActive(view));
        QVERIFY(view->windowTitle().contains(QFileInfo(kSampleSource).fileName()));

        const drawing::LevelMemory level = levelOf(kSampleSource);
        const drawing::IndexedImage drawn = drawing::drawPlane(level, kFirst, kForeground, *drawing::usedCells(level, kFirst, kForeground));
        const QImage& shown = view->picture();
        QCOMPARE(shown.format(), QImage::Format_Indexed8);
        QCOMPARE(shown.size(), QSize(drawn.width, drawn.height));
        for (int row = 0; row < drawn.height; ++row)
            QVERIFY(std::memcmp(shown.constScanLine(row), &drawn.pixels[static_cast<std::size_t>(row * drawn.width)], static_cast<std::size_t>(drawn.width)) == 0);
        const drawing::Palette palette = drawing::readPalette(level);
        QCOMPARE(shown.colorCount(), 64);
        QCOMPARE(shown.color(17), qRgba(palette[17].r, palette[17].g, palette[17].b, palette[17].a));
        QCOMPARE(qAlpha(shown.color(16)), 0);

        // It opens shrunk to fit the wide level, but at least at the window picture's scale, centred.
        ZoomArea* area = view->area();
        const int start = area->zoomStep();
        const double windowScale = static_cast<double>(form.picture->picture().width()) / drawn.width;
        QVERIFY2(start < 0 && area->zoom() >= windowScale && area->zoom() < 2 * windowScale, qPrintable(QString::number(windowScale)));
        QVERIFY((area->centre() - QPointF(drawn.width / 2.0, drawn.height / 2.0)).manhattanLength() <= 2.0 / area->zoom());
        const std::pair<Qt::Key, int> keys[] = {{Qt::Key_Plus, start + 1}, {Qt::Key_Equal, start + 2}, {Qt::Key_Minus, start + 1}, {Qt::Key_0, 0}};
        for (const auto& [key, step] : keys) {
            QTest::keyClick(view->windowHandle(), key, Qt::ControlModifier);
            QCOMPARE(area->zoomStep(), step);
        }
        for (int i = 0; i < 10; ++i) QTest::keyClick(view->windowHandle(), Qt::Key_Plus, Qt::ControlModifier);
        QCOMPARE(area->zoomStep(), ZoomArea::kMaxZoomStep);

        // The wheel zooms about the pointer: the picture's point under it stays there.
        area->setZoomStep(0);
        QWidget* viewport = area->viewport();
        const QPointF pointer(viewport->width() / 3.0, viewport->height() / 3.0);
        const auto underPointer = [&] { return area->centre() + (pointer - QRectF(viewport->rect()).center()) / area->zoom(); };
        const QPointF before = underPointer();
        QWheelEvent wheel(pointer, viewport->mapToGlobal(pointer), QPoint(), QPoint(0, 120), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(viewport, &wheel);
        QCOMPARE(area->zoomStep(), 1);
        QVERIFY2((underPointer() - before).manhattanLength() <= 1.0, "the point under the pointer stays put");

        // Save as PNG writes what the view shows; a folder that does not exist
        // is named in a message and no file appears.
        QString offered;
        QString answer = form.path(QStringLiteral("level.png"));
        view->setSavePathAsker([&](QWidget*, const QString& suggested) -> std::optional<QString> {
            offered = suggested;
            return answer;
        });
        QTest::mouseClick(view->findChild<QAbstractButton*>(QStringLiteral("savePictureButton")), Qt::LeftButton);
        QCOMPARE(QFileInfo(offered).fileName(), QFileInfo(kSampleSource).completeBaseName() + ".png");
        const QByteArray saved = readAll(answer);
        const auto decoded = tavro::test::decodePng(std::span(reinterpret_cast<const std::uint8_t*>(saved.constData()), static_cast<std::size_t>(saved.size())));
        QVERIFY(decoded.has_value());
        const drawing::RgbaImage expected = drawing::toRgba(drawn, palette);
        QCOMPARE(decoded->width, expected.width);
        QVERIFY(decoded->pixels == expected.pixels);
        QVERIFY2(view->note().contains(QStringLiteral("level.png")), qPrintable(view->note()));
        QVERIFY(QFile::remove(answer));

        // The engine's checks: a file that is not a PNG picture is not replaced.
        QVERIFY(writeAll(form.path(QStringLiteral("notes.txt")), "keep"));
        for (const auto& [name, words] : {std::pair{"no-folder/level.png", "no-folder"}, {"notes.txt", "not a PNG picture"}}) {
            answer = form.path(QLatin1String(name));
            ModalAnswerer answerer;
            const auto text = closeNextMessageBox(answerer);
            view->savePicture();
            QVERIFY(answerer.answered());
            QVERIFY2(text->contains(QLatin1String(words)), qPrintable(*text));
        }
        QCOMPARE(readAll(form.path(QStringLiteral("notes.txt"))), QByteArray("keep"));
        QCOMPARE(QDir(form.dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList(QStringLiteral("notes.txt")));
    }

    // Both files chosen: After previews the converted level with the cells
    // that would arrive empty marked, nothing written yet; packing redraws
    // it; Converter writes exactly what was previewed.
    void previewShowsWhatConverterWritesWithLostCellsMarked() {
        PictureFixture form;
        QVERIFY(form.showActive());
        const QString target = form.copyOf(kSampleTarget, QStringLiteral("target.state"));
        const QByteArray original = readAll(target);
        form.window->chooseSource(kSampleBig);
        form.window->chooseTarget(target);
        QVERIFY(form.drawn(Side::After));
        QVERIFY(form.picture->showsPreview() && form.picture->side() == Side::After);
        const QString caption = form.find<QLabel>("pictureCaption")->text();
        QVERIFY2(caption.startsWith(QLatin1String("Preview of target.state")) && caption.contains(QLatin1String("would arrive empty")), qPrintable(caption));
        QVERIFY2(form.window->statusText().contains(QLatin1String("19 cells would arrive empty")), qPrintable(form.window->statusText()));
        QCOMPARE(form.picture->marks().size(), std::size_t{19});
        QVERIFY(form.find("pictureSurface")->accessibleDescription().startsWith(QLatin1String("A preview of the conversion")));
        QCOMPARE(readAll(target), original);
        const QImage preview = form.picture->picture();
        const std::vector<drawing::CellBox> marks = form.picture->marks();
        // Save as PNG in the preview's larger view saves the preview, not the target on disk.
        LevelView* view = form.picture->openView();
        QVERIFY(view && view->saveTo(form.path(QStringLiteral("preview.png"))));
        const QByteArray saved = readAll(form.path(QStringLiteral("preview.png")));
        const auto decoded = tavro::test::decodePng(std::span(reinterpret_cast<const std::uint8_t*>(saved.constData()), static_cast<std::size_t>(saved.size())));
        const QImage shown = view->picture().convertToFormat(QImage::Format_RGBA8888);
        QVERIFY(decoded.has_value());
        QCOMPARE(QImage(decoded->pixels.data(), decoded->width, decoded->height, decoded->width * 4, QImage::Format_RGBA8888), shown);
        view->close();

        QTest::mouseClick(form.find<QCheckBox>("packCheck"), Qt::LeftButton, {}, QPoint(4, 8));
        QVERIFY(form.drawn(Side::After));
        QVERIFY(form.picture->showsPreview() && form.picture->marks().empty());
        QVERIFY(form.window->statusText().startsWith(QLatin1String("Ready")) && !form.window->statusText().contains(QLatin1String("empty")));
        QTest::mouseClick(form.find<QCheckBox>("packCheck"), Qt::LeftButton, {}, QPoint(4, 8));

        form.click("Command3");
        QVERIFY(form.drawn(Side::After));
        QVERIFY(!form.picture->showsPreview());
        QCOMPARE(form.picture->picture(), preview);
        QCOMPARE(form.picture->marks(), marks);
        QCOMPARE(readAll(target), convertedInMemory(readAll(kSampleBig), original));
    }

    // A source changed after its preview was drawn is not converted on that
    // press: the preview is drawn again and the next press converts it.
    void filesChangedAfterThePreviewAreConvertedOnlyOnTheNextPress() {
        PictureFixture form;
        const QString source = form.copyOf(kSampleSource, QStringLiteral("source.state"));
        const QString target = form.copyOf(kSampleTarget, QStringLiteral("target.state"));
        const QByteArray original = readAll(target);
        form.window->chooseSource(source);
        form.window->chooseTarget(target);
        QVERIFY(form.drawn(Side::After) && form.picture->marks().size() < 19);
        QVERIFY(writeAll(source, readAll(kSampleBig)));
        form.click("Command3");
        QCOMPARE(readAll(target), original);
        QCOMPARE(form.window->statusText(), WindowTexts::previewOutdated());
        QVERIFY(form.drawn(Side::After) && form.picture->showsPreview() && form.picture->marks().size() == 19);
        form.click("Command3");
        QCOMPARE(readAll(target), convertedInMemory(readAll(kSampleBig), original));
    }
};

TAVRO_WINDOW_TEST(PictureTest)

#include "picture_test.moc"
