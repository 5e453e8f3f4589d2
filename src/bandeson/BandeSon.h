// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>
#include <memory>

namespace vp {

struct Enveloppe;

// The thin bar under the picture of the recording window. During a recording it fills as the
// time goes and shows the time elapsed since the first sound and the time left until the
// recording stops (« 0:03 — reste 0:03 » in a 6-second recording); afterwards, the sound track's
// waveform with a mark at each frame and the chosen frame lit, to check the lip-sync picture
// by picture. A click on the waveform, or the Left and Right arrows, choose a frame.
//
// The waveform is drawn from an envelope computed once: each repaint only reduces its slices
// to the bar's columns, however long the track.
class BandeSon : public QWidget {
    Q_OBJECT
public:
    enum class Mode { Texte, Temps, FormeOnde };

    explicit BandeSon(QWidget* parent = nullptr);

    // A plain line of text (no track yet, the track being read, a track that cannot be read).
    void montrerTexte(const QString& texte);
    // `ecoule` seconds of a recording of `total` seconds.
    void montrerTemps(double ecoule, double total);
    // The waveform of `enveloppe`, with `images` frames of `periodeS` seconds from its start.
    void montrerFormeOnde(std::shared_ptr<const Enveloppe> enveloppe, int images, double periodeS);

    Mode mode() const { return mode_; }
    // The text the bar shows (in the time mode, « 0:03 — reste 0:03 »).
    const QString& texte() const { return texte_; }
    const std::shared_ptr<const Enveloppe>& enveloppe() const { return enveloppe_; }
    int images() const { return images_; }

    // Lights frame `index` and brings it into view (no signal).
    void choisirImage(int index);
    int imageChoisie() const { return choisie_; }
    // The frame under column `x` of the waveform; -1 outside the frames.
    int imageEnX(int x) const;
    // The column at the middle of frame `index` in the current view.
    int xDeLImage(int index) const;

    // Thinnest a frame is drawn, in pixels: a longer film scrolls with the chosen frame.
    static constexpr int kPixelsParImageMin = 8;

signals:
    // The user chose frame `index` on the waveform (a click or an arrow key).
    void imageDemandee(int index);

protected:
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;

private:
    // Pixels per second and the time at the left edge of the view.
    double echelle() const;
    double origine() const;

    Mode mode_ = Mode::Texte;
    QString texte_;
    double fraction_ = 0;  // of the time bar
    std::shared_ptr<const Enveloppe> enveloppe_;
    int images_ = 0;
    double periode_ = 0;
    int choisie_ = -1;
};

// « m:ss », the way the time bar counts.
QString texteDuree(double secondes);

}  // namespace vp
