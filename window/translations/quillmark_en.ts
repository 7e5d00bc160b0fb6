<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="ru">
<context>
    <name>Tmainform</name>
    <message>
        <source>Программа для пакетной проверки текстов на сходство методом шинглов</source>
        <translation>A program that checks a batch of texts for similarity by shingles</translation>
    </message>
    <message>
        <source>Сайт автора:</source>
        <translation>Author&apos;s site:</translation>
    </message>
    <message>
        <source>Путь к каталогу с текстами для сравнения</source>
        <translation>Path to the folder of texts to compare</translation>
    </message>
    <message>
        <source>&amp;Выбрать..</source>
        <translation>&amp;Choose..</translation>
    </message>
    <message>
        <source>Путь к каталогу с текстами, успешно прошедшими сравнение</source>
        <translation>Path to the folder for texts that passed the comparison</translation>
    </message>
    <message>
        <source>Длина шингла</source>
        <translation>Shingle length</translation>
    </message>
    <message>
        <source>(10 - стандарт, 5 - жестко)</source>
        <translation>(10 - standard, 5 - strict)</translation>
    </message>
    <message>
        <source>Лемматизировать* слова</source>
        <translation>Lemmatize* words</translation>
    </message>
    <message>
        <source>Отбрасывать HTML</source>
        <translation>Cut HTML</translation>
    </message>
    <message>
        <source>Переместить прошедшие</source>
        <translation>Move the texts that</translation>
    </message>
    <message>
        <source>проверку тексты </source>
        <translation>passed the check </translation>
    </message>
    <message>
        <source>Допустимый процент совпадений</source>
        <translation>Allowed percentage of matches</translation>
    </message>
    <message>
        <source>Загрузка и подготовка текстов к анализу</source>
        <translation>Loading and preparing texts for analysis</translation>
    </message>
    <message>
        <source>Сравнение текстов</source>
        <translation>Comparing texts</translation>
    </message>
    <message>
        <source>Сохранение выборки по заданному фильтру</source>
        <translation>Saving the selection by the given filter</translation>
    </message>
    <message>
        <source>&amp;Новая выборка</source>
        <translation>&amp;New selection</translation>
    </message>
    <message>
        <source>Выполнить выборку из проанализированного пакета текстов с заданным фильтром</source>
        <translation>Select from the analysed batch of texts with the given filter</translation>
    </message>
    <message>
        <source>&amp;Сравнить</source>
        <translation>C&amp;ompare</translation>
    </message>
    <message>
        <source>&amp;Результат</source>
        <translation>&amp;Result</translation>
    </message>
    <message>
        <source>Таблица проверенных текстов, распределение сходства и журнал последнего сравнения</source>
        <translation>Table of checked texts, distribution of similarity and log of the last comparison</translation>
    </message>
    <message>
        <source>Выберите каталог</source>
        <translation>Choose a folder</translation>
    </message>
    <message>
        <source>Путь к выбранному каталогу; его можно ввести и вручную, в том числе путь к скрытому каталогу</source>
        <translation>Path to the chosen folder; it can also be typed in, including the path to a hidden folder</translation>
    </message>
    <message>
        <source>Отмена</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>Выбрать</source>
        <translation>Choose</translation>
    </message>
    <message>
        <source>Результат</source>
        <translation>Result</translation>
    </message>
    <message>
        <source>Двойной щелчок по строке — сравнить текст с похожим</source>
        <translation>Double-click a row to compare the text with its match</translation>
    </message>
    <message>
        <source>Назад</source>
        <translation>Back</translation>
    </message>
    <message>
        <source>&amp;Остановить</source>
        <translation>&amp;Stop</translation>
    </message>
    <message>
        <source>У текста «%1» нет общих шинглов ни с одним более ранним текстом: сравнивать не с чем.</source>
        <translation>The text “%1” shares no shingles with any earlier text: there is nothing to compare.</translation>
    </message>
    <message>
        <source>Недостаточно памяти, чтобы показать эти тексты.</source>
        <translation>Not enough memory to show these texts.</translation>
    </message>
    <message>
        <source>Сравнивать с уже принятыми</source>
        <translation>Compare with accepted texts</translation>
    </message>
    <message>
        <source>Каталог, тексты которого сравниваются друг с другом</source>
        <translation>The folder whose texts are compared with each other</translation>
    </message>
    <message>
        <source>Сюда переносятся тексты, прошедшие проверку; каталог создаётся, если его нет</source>
        <translation>The texts that pass are put here; the folder is made if it is missing</translation>
    </message>
    <message>
        <source>Сравнивать тексты и с теми, что уже лежат в каталоге прошедших проверку</source>
        <translation>Compare the texts also with those already in the folder of texts that passed</translation>
    </message>
    <message>
        <source>Сколько слов подряд составляют шингл: чем короче шингл, тем строже проверка</source>
        <translation>How many consecutive words make a shingle: the shorter the shingle, the stricter the check</translation>
    </message>
    <message>
        <source>* Слова сравниваются по началу, чтобы формы одного слова совпадали: от слова из 7 букв и длиннее остаются 6 первых, из 4–6 букв — 3, из 3 букв — 2</source>
        <translation>* Words are compared by their beginnings, so that the forms of one word match: a word of 7 letters or more keeps its first 6, one of 4–6 letters its first 3, one of 3 letters its first 2</translation>
    </message>
    <message>
        <source>Из веб-страниц сравнивается только их текст: разметка, скрипты и стили отбрасываются</source>
        <translation>Only the text of web pages is compared: markup, scripts and styles are left out</translation>
    </message>
    <message>
        <source>Включено — прошедшие тексты перемещаются, выключено — копируются, и исходные остаются на месте</source>
        <translation>On: the texts that pass are moved; off: they are copied, and the originals stay where they are</translation>
    </message>
    <message>
        <source>Текст проходит проверку, если его сходство с каждым более ранним текстом не больше этого процента</source>
        <translation>A text passes if its similarity to every earlier text is at most this percentage</translation>
    </message>
    <message>
        <source>Распознавать подмену символов</source>
        <translation>Recognise disguised characters</translation>
    </message>
    <message>
        <source>Видеть копию сквозь маскировку: латинские буквы, похожие на русские, читаются как русские, невидимые символы и мягкие переносы отбрасываются, конец строки разделяет слова</source>
        <translation>See a copy through its disguise: Latin letters that look like Russian ones read as Russian, invisible characters and soft hyphens are dropped, a line end parts words</translation>
    </message>
    <message>
        <source>Файл шаблона</source>
        <translation>Template file</translation>
    </message>
    <message>
        <source>Весь текст «%1» — общий текст (шаблон или фрагменты, общие для многих текстов): сравнивать не с чем.</source>
        <translation>All of “%1” is common text (the template or passages common to many texts): there is nothing to compare.</translation>
    </message>
    <message>
        <source>Шаблон (не учитывать)</source>
        <translation>Template (not counted)</translation>
    </message>
    <message>
        <source>Выбрать..</source>
        <translation>Choose..</translation>
    </message>
    <message>
        <source>Файл…</source>
        <translation>File…</translation>
    </message>
    <message>
        <source>Каталог…</source>
        <translation>Folder…</translation>
    </message>
    <message>
        <source>Без шаблона</source>
        <translation>No template</translation>
    </message>
    <message>
        <source>Не учитывать фрагменты, общие для</source>
        <translation>Do not count passages common to</translation>
    </message>
    <message>
        <source>выкл.</source>
        <translation>off</translation>
    </message>
    <message>
        <source>% текстов</source>
        <translation>% of texts</translation>
    </message>
    <message>
        <source>Файл или каталог с текстом, который есть во всех работах (задание, шаблон оформления): его фрагменты не учитываются в сходстве; пусто — шаблона нет</source>
        <translation>A file or folder with text that every work contains (the task, a layout template): its passages do not count towards similarity; empty for no template</translation>
    </message>
    <message>
        <source>Выбрать файл или каталог шаблона</source>
        <translation>Choose the template file or folder</translation>
    </message>
    <message>
        <source>Фрагменты, которые есть в этой доле текстов (и не меньше чем в трёх), не учитываются в сходстве: общие цитаты, формулировки задания; «выкл.» — учитывается всё</source>
        <translation>Passages found in this share of the texts (and in three at least) do not count towards similarity: common quotations, the wording of the task; “off” counts everything</translation>
    </message>
    <message>
        <source>Общий архив (PostgreSQL)</source>
        <translation>Team archive (PostgreSQL)</translation>
    </message>
    <message>
        <source>Проверить</source>
        <translation>Check</translation>
    </message>
    <message>
        <source>Сервер PostgreSQL с отпечатками принятых командой текстов: каждая проверка сравнивает и с ними; пусто — без архива. Пароль не хранится: он берётся из ~/.pgpass или PGPASSWORD</source>
        <translation>A PostgreSQL server with the fingerprints of the texts the team accepted: every comparison also checks against them; empty for no archive. No password is kept: it comes from ~/.pgpass or PGPASSWORD</translation>
    </message>
    <message>
        <source>Подключиться к архиву и узнать, сколько в нём текстов</source>
        <translation>Connect to the archive and find out how many texts it holds</translation>
    </message>
    <message>
        <source>Недостаточно памяти, чтобы проверить архив.</source>
        <translation>Not enough memory to check the archive.</translation>
    </message>
    <message>
        <source>Адрес архива не задан: проверки идут без архива.</source>
        <translation>No archive address: comparisons run without an archive.</translation>
    </message>
    <message>
        <source>Подключение…</source>
        <translation>Connecting…</translation>
    </message>
    <message>
        <source>Архив доступен: текстов - %1</source>
        <translation>Archive reached: texts - %1</translation>
    </message>
    <message>
        <source>Пароль убран: он берётся из ~/.pgpass или PGPASSWORD.</source>
        <translation>Password removed: it comes from ~/.pgpass or PGPASSWORD.</translation>
    </message>
</context>
<context>
    <name>quillmark::ComparisonDialog</name>
    <message>
        <source>Сравнение: %1 и %2</source>
        <translation>Comparison: %1 and %2</translation>
    </message>
    <message>
        <source>№ %1: %2 (%3) — сходство %4%</source>
        <translation>No. %1: %2 (%3) — similarity %4%</translation>
    </message>
    <message>
        <source>Более ранний текст № %1: %2 (%3)</source>
        <translation>Earlier text No. %1: %2 (%3)</translation>
    </message>
    <message>
        <source>Подсвечены слова общих шинглов (длина %1)</source>
        <translation>Words of shared shingles are highlighted (length %1)</translation>
    </message>
    <message>
        <source>◀ Предыдущий</source>
        <translation>◀ Previous</translation>
    </message>
    <message>
        <source>Предыдущий общий фрагмент (%1)</source>
        <translation>Previous shared passage (%1)</translation>
    </message>
    <message>
        <source>Следующий ▶</source>
        <translation>Next ▶</translation>
    </message>
    <message>
        <source>Следующий общий фрагмент (%1)</source>
        <translation>Next shared passage (%1)</translation>
    </message>
    <message>
        <source>Закрыть</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>Общих фрагментов нет</source>
        <translation>No shared passages</translation>
    </message>
    <message>
        <source>Фрагмент %1 из %2</source>
        <translation>Passage %1 of %2</translation>
    </message>
    <message>
        <source>Эталонный текст: %1 (%2)</source>
        <translation>Reference text: %1 (%2)</translation>
    </message>
    <message>
        <source>текущий фрагмент</source>
        <translation>current passage</translation>
    </message>
    <message>
        <source>; подмена символов — %1 слов</source>
        <translation>; disguised characters — %1 words</translation>
    </message>
    <message>
        <source>общий текст (не учитывается)</source>
        <translation>common text (not counted)</translation>
    </message>
    <message>
        <source>Шаблон или фрагменты, общие для многих текстов: их шинглы не входят в сходство</source>
        <translation>The template or passages common to many texts: their shingles do not count towards similarity</translation>
    </message>
    <message>
        <source>Текст из общего архива: в архиве хранится только его отпечаток, не сам текст. Подсвечены слова текущего текста, чьи шинглы есть в архивном.</source>
        <translation>A text from the team archive: the archive keeps only its fingerprint, not the text itself. The words of the current text whose shingles the archived one holds are highlighted.</translation>
    </message>
    <message>
        <source>Текст из общего архива: %1 (%2)</source>
        <translation>Text from the team archive: %1 (%2)</translation>
    </message>
</context>
<context>
    <name>quillmark::FamilyList</name>
    <message>
        <source>Семья %1: %2. Щелчок — выделить её строки в таблице</source>
        <translation>Family %1: %2. Click to select its rows in the table</translation>
    </message>
    <message>
        <source>Семья %1 (текстов: %2): первый — %3, до %4%</source>
        <translation>Family %1 (texts: %2): first — %3, up to %4%</translation>
    </message>
    <message>
        <source>Семья %1 (текстов: %2, эталонов: %3): первый — %4, до %5%</source>
        <translation>Family %1 (texts: %2, references: %3): first — %4, up to %5%</translation>
    </message>
    <message>
        <source>%1 (эталон)</source>
        <translation>%1 (reference)</translation>
    </message>
</context>
<context>
    <name>quillmark::ResultTableModel</name>
    <message>
        <source>✓ прошло</source>
        <translation>✓ passed</translation>
    </message>
    <message>
        <source>✗ не прошло</source>
        <translation>✗ failed</translation>
    </message>
    <message>
        <source>не прочитан</source>
        <translation>not read</translation>
    </message>
    <message>
        <source>Не прочитан: </source>
        <translation>Not read: </translation>
    </message>
    <message>
        <source>Сходство %1% не больше допустимых %2%</source>
        <translation>Similarity %1% is within the allowed %2%</translation>
    </message>
    <message>
        <source>Сходство %1% больше допустимых %2%</source>
        <translation>Similarity %1% is above the allowed %2%</translation>
    </message>
    <message>
        <source>Ни с одним более ранним текстом общих шинглов нет</source>
        <translation>No shingles shared with any earlier text</translation>
    </message>
    <message>
        <source>№ %1: %2 (двойной щелчок — сравнить)</source>
        <translation>No. %1: %2 (double-click to compare)</translation>
    </message>
    <message>
        <source>Файл</source>
        <translation>File</translation>
    </message>
    <message>
        <source>Сходство, %</source>
        <translation>Similarity, %</translation>
    </message>
    <message>
        <source>Итог</source>
        <translation>Outcome</translation>
    </message>
    <message>
        <source>Похож на</source>
        <translation>Similar to</translation>
    </message>
    <message>
        <source>Формат</source>
        <translation>Format</translation>
    </message>
    <message>
        <source>Место в списке каталога: каждый текст сравнивается с текстами выше него</source>
        <translation>Place in the folder list: each text is compared with the texts above it</translation>
    </message>
    <message>
        <source>Наибольшее сходство с одним из более ранних текстов</source>
        <translation>Highest similarity to one of the earlier texts</translation>
    </message>
    <message>
        <source>Прошло проверку, если сходство не больше %1%</source>
        <translation>Passed the check if the similarity is at most %1%</translation>
    </message>
    <message>
        <source>Первый более ранний текст с таким сходством</source>
        <translation>The first earlier text with this similarity</translation>
    </message>
    <message>
        <source>Формат файла и кодировка, в которой прочитан его текст</source>
        <translation>File format and the encoding its text was read in</translation>
    </message>
    <message>
        <source>Эталонный текст %1 (двойной щелчок — сравнить)</source>
        <translation>Reference text %1 (double-click to compare)</translation>
    </message>
    <message>
        <source>№</source>
        <translation>No.</translation>
    </message>
    <message>
        <source>Слов с подменой символов (латинские буквы вместо русских, невидимые знаки): %1</source>
        <translation>Words with disguised characters (Latin letters for Russian ones, invisible characters): %1</translation>
    </message>
    <message>
        <source>Подмена</source>
        <translation>Disguised</translation>
    </message>
    <message>
        <source>Сколько слов замаскировано латинскими буквами вместо похожих русских или невидимыми знаками внутри слова</source>
        <translation>How many words are disguised by Latin letters in place of Russian look-alikes or by invisible characters inside a word</translation>
    </message>
    <message>
        <source>Семья копий %1: строки с тем же номером связаны через «не прошло» и «Похож на»</source>
        <translation>Family of copies %1: rows of the same number are linked through “failed” and “Similar to”</translation>
    </message>
    <message>
        <source>Семья</source>
        <translation>Family</translation>
    </message>
    <message>
        <source>Семья копий: не прошедший текст и тот, на который он похож, в одной семье, и так по цепочке; пусто — текст ни в одной семье</source>
        <translation>Family of copies: a failed text and the one it is similar to are in one family, and so on along the chain; empty when the text is in no family</translation>
    </message>
    <message>
        <source>✓ общий текст</source>
        <translation>✓ common text</translation>
    </message>
    <message>
        <source>Только общий текст: весь текст — шаблон или фрагменты, общие для многих текстов; он не учитывается, сходство 0%</source>
        <translation>Common text only: all of the text is the template or passages common to many texts; it does not count, similarity 0%</translation>
    </message>
</context>
<context>
    <name>quillmark::ScoreChart</name>
    <message>
        <source>Сходство: сравнённых текстов нет</source>
        <translation>Similarity: no texts compared</translation>
    </message>
    <message>
        <source>Прошло %1 из %2 при пороге %3%</source>
        <translation>%1 of %2 passed at the %3% threshold</translation>
    </message>
    <message>
        <source>Сходство %1–%2%: текстов %3</source>
        <translation>Similarity %1–%2%: %3 texts</translation>
    </message>
    <message>
        <source>, не прошло %1</source>
        <translation>, %1 failed</translation>
    </message>
</context>
</TS>
